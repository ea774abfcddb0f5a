qv_bench(bench_records_memory SOURCES ${CMAKE_CURRENT_LIST_DIR}/records_memory.cpp LIBS qv_records)
target_compile_definitions(bench_records_memory PRIVATE QV_PYTHON_DIR="${CMAKE_BINARY_DIR}/python"
                           QV_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
add_dependencies(bench_records_memory qv_python_module)
