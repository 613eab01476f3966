# End-to-end tests: the x86_64 Install.exe of the win64 build runs under
# Wine in a private prefix made once per test run (the e2e_prefix fixture);
# the win64 build's unit tests run there too. The same scripts run again as
# e2e32_* against the shipped 32-bit build, in a WoW64 prefix of their own
# (the e2e32_prefix fixture, which also finds out whether 32-bit programs
# run here at all and else has every e2e32_* test skip with its reason).
set(ZANDOR_WIN32_DIR "${CMAKE_SOURCE_DIR}/build/win32" CACHE PATH
    "Build folder of the shipped i686 Windows build that the 32-bit end-to-end run tests")
find_program(WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT WINE64)
  find_program(WINE64 NAMES wine64 wine)
endif()
find_program(XVFB_RUN xvfb-run)
if(NOT WINE64)
  message(STATUS "Wine not found: end-to-end tests are not registered")
  return()
endif()

set(E2E_WORK "${CMAKE_BINARY_DIR}/e2e")
set(E2E_ENV
    "ZANDOR_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
    "ZANDOR_WIN64_DIR=${ZANDOR_WIN64_DIR}"
    "ZANDOR_WIN32_DIR=${ZANDOR_WIN32_DIR}"
    "ZANDOR_TOOL=$<TARGET_FILE:zandor>"
    "ZANDOR_E2E_WORK=${E2E_WORK}"
    "WINE64=${WINE64}"
    "XVFB_RUN=${XVFB_RUN}")
set(E2E32_ENV ${E2E_ENV})
list(FILTER E2E32_ENV EXCLUDE REGEX "^ZANDOR_E2E_WORK=")
list(APPEND E2E32_ENV "ZANDOR_E2E_WORK=${CMAKE_BINARY_DIR}/e2e32" "ZANDOR_E2E_ARCH=32")

add_test(NAME e2e_prefix COMMAND bash "${CMAKE_SOURCE_DIR}/tests/e2e/make_prefix.sh")
set_tests_properties(e2e_prefix PROPERTIES FIXTURES_SETUP wine_prefix ENVIRONMENT "${E2E_ENV}" TIMEOUT 300)
add_test(NAME e2e32_prefix COMMAND bash "${CMAKE_SOURCE_DIR}/tests/e2e/make_prefix.sh")
set_tests_properties(e2e32_prefix PROPERTIES FIXTURES_SETUP wine_prefix32 ENVIRONMENT "${E2E32_ENV}" TIMEOUT 300)

file(GLOB E2E_SCRIPTS CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/tests/e2e/test_*.sh")
foreach(script ${E2E_SCRIPTS})
  get_filename_component(name ${script} NAME_WE)
  string(REGEX REPLACE "^test_" "" name ${name})
  add_test(NAME e2e_${name} COMMAND bash "${script}")
  set_tests_properties(e2e_${name} PROPERTIES FIXTURES_REQUIRED wine_prefix
      ENVIRONMENT "${E2E_ENV}" TIMEOUT 600)
  # Tests with windows share the prefix for windows, whose server lives on
  # one display at a time.
  file(STRINGS "${script}" shows_windows REGEX "^run_under_xvfb")
  add_test(NAME e2e32_${name} COMMAND bash "${script}")
  set_tests_properties(e2e32_${name} PROPERTIES FIXTURES_REQUIRED wine_prefix32
      ENVIRONMENT "${E2E32_ENV}" TIMEOUT 600 SKIP_RETURN_CODE 77)
  if(shows_windows)
    set_tests_properties(e2e_${name} PROPERTIES RESOURCE_LOCK wine_gui_prefix)
    set_tests_properties(e2e32_${name} PROPERTIES RESOURCE_LOCK wine_gui_prefix32)
  endif()
endforeach()

# The Windows build's unit tests (cmake/WindowsUnitTests.cmake) under Wine;
# a sanitizer build has nothing to add to them.
if(NOT ZANDOR_SANITIZE)
  add_test(NAME win64_unit_tests COMMAND bash "${CMAKE_SOURCE_DIR}/tests/win_unit_tests.sh")
  set_tests_properties(win64_unit_tests PROPERTIES FIXTURES_REQUIRED wine_prefix
      ENVIRONMENT "${E2E_ENV}" TIMEOUT 600 RESOURCE_LOCK wine_gui_prefix)
endif()
