# Tests that run Win32 programs under Wine. A fixture prepares one prefix inside
# the build folder and a copy of it per lane; they never touch a user's own prefix.
set(TOLVIX_TEST_PREFIX ${CMAKE_BINARY_DIR}/wine/test-prefix)
# Lanes run side by side, each with its own prefix copy and X display (tools/test.sh
# starts the displays and hands ctest the lanes as a resource). Every Wine test takes one.
set(TOLVIX_LANES 2)
set(TOLVIX_LANE RESOURCE_GROUPS lanes:1)

get_property(_tolvix_prefix_done GLOBAL PROPERTY TOLVIX_WINE_FIXTURE)
if(NOT _tolvix_prefix_done)
  set_property(GLOBAL PROPERTY TOLVIX_WINE_FIXTURE TRUE)
  add_test(NAME wine_prefix
           COMMAND sh -c "'${CMAKE_SOURCE_DIR}/tools/prefix.sh' '${TOLVIX_TEST_PREFIX}' '${CMAKE_BINARY_DIR}/bin' && '${CMAKE_SOURCE_DIR}/tests/wine/lanes.sh' '${TOLVIX_TEST_PREFIX}' \${TOLVIX_LANES:-2}")
  set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
  add_test(NAME wine_shutdown
           COMMAND sh -c "for p in '${TOLVIX_TEST_PREFIX}'*; do WINEPREFIX=\"$p\" wineserver -k 2>/dev/null; done; true")
  set_tests_properties(wine_shutdown PROPERTIES FIXTURES_CLEANUP wine)
endif()

# tolvix_add_wine_test(NAME name TARGET exe [ARGS ...] [TIMEOUT s] [ENV VAR=value ...])
# Runs the built program under Wine with TOLVIX_BIN pointing at the built program
# folder (seen inside Wine as the same Unix path through drive Z:).
function(tolvix_add_wine_test)
  cmake_parse_arguments(T "" "NAME;TARGET;TIMEOUT" "ARGS;ENV" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_test(NAME ${T_NAME}
           COMMAND ${CMAKE_SOURCE_DIR}/tools/wine-run.sh $<TARGET_FILE:${T_TARGET}> ${T_ARGS})
  set_tests_properties(${T_NAME} PROPERTIES
    FIXTURES_REQUIRED wine
    TIMEOUT ${T_TIMEOUT}
    ${TOLVIX_LANE}
    ENVIRONMENT "WINEPREFIX=${TOLVIX_TEST_PREFIX};TOLVIX_BIN=${CMAKE_BINARY_DIR}/bin;TOLVIX_SOURCE=${CMAKE_SOURCE_DIR};${T_ENV}")
endfunction()
