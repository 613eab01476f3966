# End-to-end tests: the x86_64 Install.exe of the win64 build runs under
# Wine in a private prefix made once per test run (the e2e_prefix fixture);
# the win64 build's unit tests run there too.
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
    "ZANDOR_TOOL=$<TARGET_FILE:zandor>"
    "ZANDOR_E2E_WORK=${E2E_WORK}"
    "WINE64=${WINE64}"
    "XVFB_RUN=${XVFB_RUN}")

add_test(NAME e2e_prefix COMMAND bash "${CMAKE_SOURCE_DIR}/tests/e2e/make_prefix.sh")
set_tests_properties(e2e_prefix PROPERTIES FIXTURES_SETUP wine_prefix ENVIRONMENT "${E2E_ENV}" TIMEOUT 300)

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
  if(shows_windows)
    set_tests_properties(e2e_${name} PROPERTIES RESOURCE_LOCK wine_gui_prefix)
  endif()
endforeach()

# The Windows build's unit tests (cmake/WindowsUnitTests.cmake) under Wine;
# a sanitizer build has nothing to add to them.
if(NOT ZANDOR_SANITIZE)
  add_test(NAME win64_unit_tests COMMAND bash "${CMAKE_SOURCE_DIR}/tests/win_unit_tests.sh")
  set_tests_properties(win64_unit_tests PROPERTIES FIXTURES_REQUIRED wine_prefix
      ENVIRONMENT "${E2E_ENV}" TIMEOUT 600 RESOURCE_LOCK wine_gui_prefix)
endif()
