qv_fuzz(fuzz_yaml_to_json SOURCES ${CMAKE_CURRENT_LIST_DIR}/yaml_to_json.cpp LIBS qv_yaml qv_json)
