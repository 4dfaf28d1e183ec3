# The Windows programs, built by a mingw-w64 cross build, tested from this
# native build: the x86-64 ones run under Wine with the tests' own tables,
# the i686 ones (which 64-bit Wine cannot run) are checked statically.
set(JUDGEKIT_WINDOWS_BUILD "" CACHE PATH
    "x86-64 Windows build tree whose programs the tests run under Wine")
set(JUDGEKIT_WINDOWS32_BUILD "" CACHE PATH
    "i686 Windows build tree whose programs get the static checks")
set(JUDGEKIT_WINE64 /usr/lib/wine/wine64 CACHE FILEPATH "64-bit Wine loader")

if(JUDGEKIT_WINDOWS_BUILD)
  set(JUDGEKIT_WINEPREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
  add_test(NAME windows:wine_start
           COMMAND sh ${CMAKE_SOURCE_DIR}/cmake/wine-session.sh start)
  add_test(NAME windows:wine_stop
           COMMAND sh ${CMAKE_SOURCE_DIR}/cmake/wine-session.sh stop)
  set(wine_env WINEPREFIX=${JUDGEKIT_WINEPREFIX} WINEDEBUG=-all
               JUDGEKIT_EMULATOR=${JUDGEKIT_WINE64})
  set_tests_properties(windows:wine_start PROPERTIES FIXTURES_SETUP wine
                       ENVIRONMENT "${wine_env}" TIMEOUT 300 LABELS windows)
  set_tests_properties(windows:wine_stop PROPERTIES FIXTURES_CLEANUP wine
                       ENVIRONMENT "${wine_env}" LABELS windows)
endif()

# kit_wine_test(NAME TEST_TARGET EXE VAR [ARGS...]): runs a native test binary
# with ARGS against EXE (relative to the x86-64 Windows build) under the
# shared Wine session; the binary finds the program in the environment
# variable VAR and the emulator in JUDGEKIT_EMULATOR.
function(kit_wine_test name target exe env_name)
  if(NOT JUDGEKIT_WINDOWS_BUILD OR NOT TARGET ${target})
    return()
  endif()
  add_test(NAME windows:${name} COMMAND ${target} ${ARGN})
  set_tests_properties(windows:${name} PROPERTIES
    FIXTURES_REQUIRED wine LABELS windows TIMEOUT 600
    ENVIRONMENT "WINEPREFIX=${JUDGEKIT_WINEPREFIX};WINEDEBUG=-all;JUDGEKIT_EMULATOR=${JUDGEKIT_WINE64};${env_name}=${JUDGEKIT_WINDOWS_BUILD}/${exe}")
endfunction()

# kit_pe_test(NAME EXE MACHINE): EXE is a console program for MACHINE that
# imports system DLLs only.
function(kit_pe_test name exe machine)
  add_test(NAME windows:${name}
           COMMAND sh ${CMAKE_SOURCE_DIR}/cmake/check-pe.sh ${exe} ${machine})
  set_tests_properties(windows:${name} PROPERTIES LABELS windows)
endfunction()

if(JUDGEKIT_WINDOWS_BUILD OR JUDGEKIT_WINDOWS32_BUILD)
  add_test(NAME windows:pe_check_refuses_wrong_files
           COMMAND sh ${CMAKE_SOURCE_DIR}/cmake/check-pe-selftest.sh)
  set_tests_properties(windows:pe_check_refuses_wrong_files PROPERTIES
                       LABELS windows)
endif()
foreach(tool datamask editor)
  if(JUDGEKIT_WINDOWS_BUILD)
    kit_pe_test(${tool}_exe_x86-64
                ${JUDGEKIT_WINDOWS_BUILD}/${tool}/${tool}.exe x86-64)
  endif()
  if(JUDGEKIT_WINDOWS32_BUILD)
    kit_pe_test(${tool}_exe_i386
                ${JUDGEKIT_WINDOWS32_BUILD}/${tool}/${tool}.exe i386)
  endif()
endforeach()
