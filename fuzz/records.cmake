qv_fuzz(fuzz_records SOURCES ${CMAKE_CURRENT_LIST_DIR}/records.cpp LIBS qv_records)
