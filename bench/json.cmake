qv_bench(bench_json SOURCES ${CMAKE_CURRENT_LIST_DIR}/json.cpp LIBS qv_json)
