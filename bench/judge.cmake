qv_bench(bench_judge SOURCES ${CMAKE_CURRENT_LIST_DIR}/judge.cpp LIBS qv_engine)
