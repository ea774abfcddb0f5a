qv_fuzz(fuzz_policy SOURCES ${CMAKE_CURRENT_LIST_DIR}/policy.cpp LIBS qv_engine)
