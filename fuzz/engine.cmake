qv_fuzz(fuzz_engine_verify SOURCES ${CMAKE_CURRENT_LIST_DIR}/engine_verify.cpp LIBS qv_engine)
