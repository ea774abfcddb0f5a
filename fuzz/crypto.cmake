qv_fuzz(fuzz_hex SOURCES ${CMAKE_CURRENT_LIST_DIR}/hex.cpp LIBS qv_crypto)
