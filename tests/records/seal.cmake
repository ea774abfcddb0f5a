qv_test(test_records_seal
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/seal_test.cpp ${CMAKE_CURRENT_LIST_DIR}/verify_test.cpp
  LIBS qv_records qv_crypto OpenSSL::Crypto)
target_compile_definitions(test_records_seal PRIVATE QV_CRYPTO_TEST_DATA="${CMAKE_SOURCE_DIR}/tests/crypto/data")
qv_test(test_records_document SOURCES ${CMAKE_CURRENT_LIST_DIR}/document_test.cpp LIBS qv_records)
qv_test(test_records_chain SOURCES ${CMAKE_CURRENT_LIST_DIR}/chain_test.cpp LIBS qv_records)
