qv_fuzz(fuzz_records SOURCES ${CMAKE_CURRENT_LIST_DIR}/records.cpp LIBS qv_records)
qv_fuzz(fuzz_document SOURCES ${CMAKE_CURRENT_LIST_DIR}/document.cpp LIBS qv_records)
