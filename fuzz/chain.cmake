qv_fuzz(fuzz_chain SOURCES ${CMAKE_CURRENT_LIST_DIR}/chain.cpp LIBS qv_records)
