# tandro_add_test(<name> [QT] [POSIX_ONLY] SOURCES <files...> [LIBS <libs...>]
#                 [POSIX_ONLY_CASES <Suite.Case>...])
# One executable per unit. Core tests use GoogleTest; QT tests use QtTest and drive the
# real widgets on the offscreen platform. Every test runs in a fixed time zone and locale.
# POSIX_ONLY leaves the test out of Windows builds, POSIX_ONLY_CASES only those cases.

# GoogleTest: the installed package, or built here from its sources where there is no
# package for the target (the Windows cross build).
set(TANDRO_GTEST_SOURCES "" CACHE PATH "GoogleTest sources to build with the tests")
if(TANDRO_GTEST_SOURCES)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${TANDRO_GTEST_SOURCES} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
  find_package(GTest REQUIRED)
endif()

if(WIN32)
  # Under Wine the locale chooses the ANSI code page: 932, as on Japanese Windows.
  set(TANDRO_TEST_LOCALE "ja_JP.UTF-8")
else()
  set(TANDRO_TEST_LOCALE "C.UTF-8")
endif()

set(TANDRO_TEST_ENVIRONMENT
  "TZ=JST-9"
  "LANG=${TANDRO_TEST_LOCALE}"
  "LC_ALL=${TANDRO_TEST_LOCALE}"
  "QT_QPA_PLATFORM=offscreen"
  "TANDRO_BUILD_DIR=${PROJECT_BINARY_DIR}")

function(tandro_add_test name)
  cmake_parse_arguments(TEST "QT;POSIX_ONLY" "" "SOURCES;LIBS;POSIX_ONLY_CASES" ${ARGN})
  if(WIN32 AND TEST_POSIX_ONLY)
    return()
  endif()
  add_executable(${name} ${TEST_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  if(TEST_QT)
    find_package(Qt6 REQUIRED COMPONENTS Test)
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    target_link_libraries(${name} PRIVATE tandro_gui Qt6::Test ${TEST_LIBS})
  else()
    target_link_libraries(${name} PRIVATE tandro_core GTest::gtest GTest::gtest_main ${TEST_LIBS})
  endif()
  set(arguments)
  if(WIN32 AND TEST_POSIX_ONLY_CASES)
    list(JOIN TEST_POSIX_ONLY_CASES ":" excluded)
    set(arguments "--gtest_filter=-${excluded}")
  endif()
  add_test(NAME ${name} COMMAND ${name} ${arguments})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${TANDRO_TEST_ENVIRONMENT}" TIMEOUT 600)
endfunction()
