qv_bench(bench_unicode SOURCES ${CMAKE_CURRENT_LIST_DIR}/unicode.cpp LIBS qv_text qv_unicode)
