qv_bench(bench_records SOURCES ${CMAKE_CURRENT_LIST_DIR}/records.cpp LIBS qv_records)
