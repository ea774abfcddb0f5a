qv_fuzz(fuzz_run SOURCES ${CMAKE_CURRENT_LIST_DIR}/run.cpp LIBS qv_run)
