qv_bench(bench_flood SOURCES ${CMAKE_CURRENT_LIST_DIR}/flood.cpp LIBS qv_records)
target_include_directories(bench_flood PRIVATE ${CMAKE_SOURCE_DIR}/tests)
