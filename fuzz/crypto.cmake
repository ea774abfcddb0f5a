qv_fuzz(fuzz_hex SOURCES ${CMAKE_CURRENT_LIST_DIR}/hex.cpp LIBS qv_crypto)
qv_fuzz(fuzz_crypto_verify SOURCES ${CMAKE_CURRENT_LIST_DIR}/crypto_verify.cpp LIBS qv_crypto)
