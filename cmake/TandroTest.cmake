# tandro_add_test(<name> SOURCES <files...> [QT] [LIBS <libs...>])
# One executable per unit. Core tests use GoogleTest; QT tests use QtTest and drive the
# real widgets on the offscreen platform. Every test runs in a fixed time zone and locale.
find_package(GTest REQUIRED)

set(TANDRO_TEST_ENVIRONMENT
  "TZ=JST-9"
  "LANG=C.UTF-8"
  "LC_ALL=C.UTF-8"
  "QT_QPA_PLATFORM=offscreen"
  "TANDRO_BUILD_DIR=${PROJECT_BINARY_DIR}")

function(tandro_add_test name)
  cmake_parse_arguments(TEST "QT" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${TEST_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  if(TEST_QT)
    find_package(Qt6 REQUIRED COMPONENTS Test)
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    target_link_libraries(${name} PRIVATE tandro_gui Qt6::Test ${TEST_LIBS})
  else()
    target_link_libraries(${name} PRIVATE tandro_core GTest::gtest GTest::gtest_main ${TEST_LIBS})
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${TANDRO_TEST_ENVIRONMENT}" TIMEOUT 600)
endfunction()
