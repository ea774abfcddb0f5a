qv_bench(bench_numeric SOURCES ${CMAKE_CURRENT_LIST_DIR}/numeric.cpp LIBS qv_numeric)
