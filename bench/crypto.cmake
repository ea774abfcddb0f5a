qv_bench(bench_crypto SOURCES ${CMAKE_CURRENT_LIST_DIR}/crypto.cpp LIBS qv_crypto PkgConfig::SODIUM)
