qv_bench(bench_verifiers SOURCES ${CMAKE_CURRENT_LIST_DIR}/verifiers.cpp LIBS qv_verifiers)
