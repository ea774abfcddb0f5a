qv_bench(bench_engine SOURCES ${CMAKE_CURRENT_LIST_DIR}/engine.cpp LIBS qv_engine)
target_compile_definitions(bench_engine PRIVATE QV_EXAMPLES_DIR="${CMAKE_SOURCE_DIR}/examples")
