find_package(GTest REQUIRED)

# One test binary per layer. Each binary is registered twice with CTest: the unit tests
# (label "unit") and the suites whose name contains "Integration" (label "integration"),
# which run the real serial code against the emulator on a pseudo-terminal.
function(qzm_add_test_binary name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  add_test(NAME ${name}_unit COMMAND ${name} --gtest_filter=-*Integration*)
  set_tests_properties(${name}_unit PROPERTIES LABELS unit TIMEOUT 600)
  add_test(NAME ${name}_integration COMMAND ${name} --gtest_filter=*Integration*)
  set_tests_properties(${name}_integration PROPERTIES LABELS integration TIMEOUT 900)
endfunction()
