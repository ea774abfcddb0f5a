qv_bench(bench_run SOURCES ${CMAKE_CURRENT_LIST_DIR}/run.cpp LIBS qv_run qv_crypto PkgConfig::SODIUM)
