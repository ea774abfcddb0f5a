# qv_component(<name> [DEPS targets...] [PRIVATE_DEPS targets...])
# A static library qv_<name> from every .cpp in src/<name>/ (subfolders too),
# with src/ as its include root.
function(qv_component name)
  cmake_parse_arguments(ARG "" "" "DEPS;PRIVATE_DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${name}/*.cpp)
  if(sources)
    add_library(qv_${name} STATIC ${sources})
    target_include_directories(qv_${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(qv_${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
  else()
    # Headers only, or nothing yet.
    add_library(qv_${name} INTERFACE)
    target_include_directories(qv_${name} INTERFACE ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(qv_${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# The reference cases travel with the project (xz-compressed JSON Lines).
set(QV_VECTORS_DIR ${CMAKE_SOURCE_DIR}/testdata)

# qv_test(<name> SOURCES files... LIBS targets...)
# A GoogleTest executable registered with CTest; it reads the reference cases
# from QV_VECTORS_DIR through tests/common/vectors.hpp (liblzma decodes them).
function(qv_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  find_package(LibLZMA REQUIRED)
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} LibLZMA::LibLZMA GTest::gtest GTest::gtest_main GTest::gmock)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE QV_VECTORS_DIR="${QV_VECTORS_DIR}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
endfunction()

# qv_bench(<name> SOURCES files... LIBS targets...)
function(qv_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark)
endfunction()

# qv_fuzz(<name> SOURCES files... LIBS targets...)
function(qv_fuzz name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
endfunction()
