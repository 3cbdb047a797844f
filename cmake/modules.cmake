# qmr_module(<name> SOURCES <files...> [DEPS <targets...>])
# Declares one module as a static library qmr_<name>. Every module sees the
# source tree root and the generated headers, so includes read
# "framework/log/log.h" wherever they stand.
function(qmr_module name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(qmr_${name} STATIC ${ARG_SOURCES})
  target_include_directories(qmr_${name} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
  target_link_libraries(qmr_${name} PUBLIC ${ARG_DEPS})
endfunction()

# qmr_test(<name> LABEL <label> SOURCES <files...> DEPS <targets...>)
# One GoogleTest program registered with CTest under one label.
function(qmr_test name)
  cmake_parse_arguments(ARG "" "LABEL" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} qmr_testsupport GTest::gtest GTest::gmock)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES LABELS ${ARG_LABEL} TIMEOUT 600)
endfunction()
