qv_bench(bench_numeric SOURCES ${CMAKE_CURRENT_LIST_DIR}/numeric.cpp LIBS qv_numeric)
qv_bench(bench_numeric_quantities SOURCES ${CMAKE_CURRENT_LIST_DIR}/numeric_quantities.cpp LIBS qv_numeric)
