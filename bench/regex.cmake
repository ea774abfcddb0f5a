qv_bench(bench_regex SOURCES ${CMAKE_CURRENT_LIST_DIR}/regex.cpp LIBS qv_regex qv_numeric)
