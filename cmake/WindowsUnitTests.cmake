# Unit tests of the Windows platform code, built by the x86_64 Windows build
# and run under Wine by the native build's ctest (win64_unit_tests).
#
# GoogleTest comes from the sources that Debian's googletest package puts in
# /usr/src/googletest, compiled here with the cross compiler. The installer's
# layers keep their own flags (no exceptions, no RTTI); the tests and GoogleTest
# are compiled normally and link against them. The installer's no-exception
# runtime stubs (cxxrt_win.cpp) belong to Install.exe alone and are not linked.
set(ZANDOR_GTEST_SOURCE_DIR "/usr/src/googletest/googletest" CACHE PATH
    "GoogleTest sources (Debian package googletest) for the Windows unit tests")
if(NOT EXISTS "${ZANDOR_GTEST_SOURCE_DIR}/src/gtest-all.cc")
  message(STATUS "GoogleTest sources not found in ${ZANDOR_GTEST_SOURCE_DIR}: no Windows unit tests")
  return()
endif()

add_library(gtest_win STATIC "${ZANDOR_GTEST_SOURCE_DIR}/src/gtest-all.cc"
                             "${ZANDOR_GTEST_SOURCE_DIR}/src/gtest_main.cc")
target_include_directories(gtest_win SYSTEM PUBLIC "${ZANDOR_GTEST_SOURCE_DIR}/include")
target_include_directories(gtest_win PRIVATE "${ZANDOR_GTEST_SOURCE_DIR}")

# The tests that the Windows platform code shares with the native build,
# plus the cases that only Windows has (tests/*_win_test.cpp).
file(GLOB WIN_ONLY_TEST_SOURCES CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/tests/*_win_test.cpp")
add_executable(unit_tests
    tests/filesys_test.cpp tests/ini_test.cpp tests/extract_test.cpp tests/process_test.cpp
    ${WIN_ONLY_TEST_SOURCES} tests/test_system_win.cpp tests/window_watch_win.cpp)
target_include_directories(unit_tests PRIVATE "${CMAKE_SOURCE_DIR}/tests")
target_link_libraries(unit_tests PRIVATE zandor_toollib zandor_app gtest_win)
target_link_options(unit_tests PRIVATE -static)
# The version resource tests read the test component beside them.
if(TARGET regtest)
  add_dependencies(unit_tests regtest)
endif()

# The child program of the process tests; a GUI program, because Wine keeps a
# console program's working folder busy for a moment after it ended.
add_executable(child WIN32 tests/programs/child.cpp)
target_link_options(child PRIVATE -static -s)
add_dependencies(unit_tests child)
