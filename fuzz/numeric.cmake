qv_fuzz(fuzz_decimal SOURCES ${CMAKE_CURRENT_LIST_DIR}/decimal.cpp LIBS qv_numeric)
qv_fuzz(fuzz_fraction SOURCES ${CMAKE_CURRENT_LIST_DIR}/fraction.cpp LIBS qv_numeric)
qv_fuzz(fuzz_numeric_quantities SOURCES ${CMAKE_CURRENT_LIST_DIR}/numeric_quantities.cpp LIBS qv_numeric)
