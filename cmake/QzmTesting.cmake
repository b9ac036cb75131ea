if(CMAKE_CROSSCOMPILING)
  # Debian ships GoogleTest as sources too; a cross build compiles them with its own compiler.
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  # The tests run under Wine in a Wine prefix of the build's own, made once before them, so that no
  # test touches the user's prefix and two tests never both make it.
  set(QZM_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
  set(QZM_TEST_ENVIRONMENT "WINEPREFIX=${QZM_WINE_PREFIX};WINEDEBUG=-all")
  add_test(NAME wine_prefix COMMAND ${CMAKE_COMMAND} -E env ${QZM_TEST_ENVIRONMENT} ${QZM_WINE} wineboot --init)
  set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine LABELS "unit;integration" TIMEOUT 300)
else()
  find_package(GTest REQUIRED)
  set(QZM_TEST_ENVIRONMENT "")
endif()

# Runs a test binary's tests; under Wine in the build's prefix when cross-built.
function(qzm_add_gtest name binary filter label timeout)
  add_test(NAME ${name} COMMAND ${binary} --gtest_filter=${filter})
  set_tests_properties(${name} PROPERTIES LABELS ${label} TIMEOUT ${timeout})
  if(CMAKE_CROSSCOMPILING)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${QZM_TEST_ENVIRONMENT}" FIXTURES_REQUIRED wine)
  endif()
endfunction()

# One test binary per layer. Each binary is registered twice with CTest: the unit tests
# (label "unit") and the suites whose name contains "Integration" (label "integration"),
# which run the real serial code against the emulator on a pseudo-terminal.
function(qzm_add_test_binary name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  qzm_add_gtest(${name}_unit ${name} -*Integration* unit 600)
  qzm_add_gtest(${name}_integration ${name} *Integration* integration 900)
endfunction()

# The windows' test binary, written with Qt Test: its main runs every registered test class and
# splits them the same way (--unit, or --integration for classes whose name contains
# "Integration"). The tests run without a display.
function(qzm_add_qt_test_binary name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  find_package(Qt6 REQUIRED COMPONENTS Test Widgets)
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} Qt6::Test Qt6::Widgets Threads::Threads)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  add_test(NAME ${name}_unit COMMAND ${name} --unit)
  set_tests_properties(${name}_unit PROPERTIES LABELS unit TIMEOUT 600 ENVIRONMENT QT_QPA_PLATFORM=offscreen)
  add_test(NAME ${name}_integration COMMAND ${name} --integration)
  set_tests_properties(${name}_integration PROPERTIES LABELS integration TIMEOUT 900
                       ENVIRONMENT QT_QPA_PLATFORM=offscreen)
endfunction()
