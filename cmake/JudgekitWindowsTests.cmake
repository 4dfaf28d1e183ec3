# The Windows programs, built by a mingw-w64 cross build, tested from this
# native build under Wine with the tests' own tables: the x86-64 ones with
# 64-bit Wine, the i686 ones with 32-bit Wine (wine32:i386) where the kernel
# runs 32-bit code. Every .exe is also checked statically.
set(JUDGEKIT_WINDOWS_BUILD "" CACHE PATH
    "x86-64 Windows build tree whose programs the tests run under Wine")
set(JUDGEKIT_WINDOWS32_BUILD "" CACHE PATH
    "i686 Windows build tree whose programs the tests run under 32-bit Wine")
set(JUDGEKIT_WINE64 /usr/lib/wine/wine64 CACHE FILEPATH "64-bit Wine loader")
set(JUDGEKIT_WINE32 /usr/lib/wine/wine CACHE FILEPATH
    "32-bit Wine loader (package wine32:i386)")

# Whether the i686 programs can run here; found out at each configure.
set(jk_wine32 OFF)
if(JUDGEKIT_WINDOWS32_BUILD)
  execute_process(COMMAND sh ${CMAKE_SOURCE_DIR}/cmake/kernel-runs-i386.sh
                  RESULT_VARIABLE jk_no_i386 OUTPUT_QUIET ERROR_QUIET)
  if(NOT jk_no_i386 EQUAL 0)
    set(jk_wine32_why "this kernel cannot run 32-bit code")
  elseif(NOT EXISTS ${JUDGEKIT_WINE32})
    set(jk_wine32_why "32-bit Wine (${JUDGEKIT_WINE32}, package wine32:i386) is missing")
  else()
    set(jk_wine32 ON)
  endif()
  if(jk_wine32)
    message(STATUS "i686 Windows programs: the test tables under ${JUDGEKIT_WINE32}")
  else()
    message(STATUS "i686 Windows programs: static checks only: ${jk_wine32_why}")
  endif()
endif()

if(JUDGEKIT_WINDOWS_BUILD OR jk_wine32)
  set(JUDGEKIT_WINEPREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
  add_test(NAME windows:wine_start
           COMMAND sh ${CMAKE_SOURCE_DIR}/cmake/wine-session.sh start)
  add_test(NAME windows:wine_stop
           COMMAND sh ${CMAKE_SOURCE_DIR}/cmake/wine-session.sh stop)
  # With 32-bit Wine the prefix must be a 64-bit one made after both Wines
  # are installed: it then runs both kinds of program.
  set(wine_env WINEPREFIX=${JUDGEKIT_WINEPREFIX} WINEDEBUG=-all
               JUDGEKIT_EMULATOR=${JUDGEKIT_WINE64})
  if(jk_wine32)
    list(APPEND wine_env JUDGEKIT_WINE32=${JUDGEKIT_WINE32})
  endif()
  set_tests_properties(windows:wine_start PROPERTIES FIXTURES_SETUP wine
                       ENVIRONMENT "${wine_env}" TIMEOUT 300 LABELS windows)
  set_tests_properties(windows:wine_stop PROPERTIES FIXTURES_CLEANUP wine
                       ENVIRONMENT "${wine_env}" LABELS windows)
endif()

# kit_wine_test(NAME TEST_TARGET EXE VAR [ARGS...]): runs a native test binary
# with ARGS against EXE (relative to each Windows build) under the shared
# Wine session: windows:NAME for the x86-64 program, windows:NAME_i686 for
# the i686 one where 32-bit Wine runs here. The binary finds the program in
# the environment variable VAR and the emulator in JUDGEKIT_EMULATOR.
function(kit_wine_test name target exe env_name)
  if(NOT TARGET ${target})
    return()
  endif()
  set(runs)
  if(JUDGEKIT_WINDOWS_BUILD)
    list(APPEND runs "${name}|${JUDGEKIT_WINE64}|${JUDGEKIT_WINDOWS_BUILD}")
  endif()
  if(jk_wine32)
    list(APPEND runs "${name}_i686|${JUDGEKIT_WINE32}|${JUDGEKIT_WINDOWS32_BUILD}")
  endif()
  foreach(run IN LISTS runs)
    string(REPLACE "|" ";" run "${run}")
    list(GET run 0 test_name)
    list(GET run 1 loader)
    list(GET run 2 build)
    add_test(NAME windows:${test_name} COMMAND ${target} ${ARGN})
    set_tests_properties(windows:${test_name} PROPERTIES
      FIXTURES_REQUIRED wine LABELS windows TIMEOUT 600
      ENVIRONMENT "WINEPREFIX=${JUDGEKIT_WINEPREFIX};WINEDEBUG=-all;JUDGEKIT_EMULATOR=${loader};${env_name}=${build}/${exe}")
  endforeach()
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
# Where the i686 programs get the static checks alone, the reason is checked
# and shown: a kernel that does run 32-bit code means 32-bit Wine is missing,
# and that fails rather than passing quietly with less.
if(JUDGEKIT_WINDOWS32_BUILD AND NOT jk_wine32)
  add_test(NAME windows:i686_static_checks_only
           COMMAND sh -c "echo 'i686 programs: static checks only: ${jk_wine32_why}'; if sh '${CMAKE_SOURCE_DIR}/cmake/kernel-runs-i386.sh'; then echo 'but this kernel runs 32-bit code: install wine32:i386 (JUDGEKIT_NEED_WINDOWS=1 scripts/setup.sh) and configure again' >&2; exit 1; fi")
  set_tests_properties(windows:i686_static_checks_only PROPERTIES
                       LABELS windows)
endif()
