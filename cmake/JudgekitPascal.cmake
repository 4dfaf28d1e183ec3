# Free Pascal units and the programs built on them. A compiled unit fits only
# the compiler that made it, so a unit's target records its directory and its
# compiler, and every program built on it reuses both.

# kit_fpc_unit(TARGET SOURCE OUTDIR [DESTINATION dir] [COMPILER cmd...]
#              [DEPENDS file-or-target...]): compiles the unit SOURCE into
# OUTDIR with COMPILER (default: the host fpc), as part of ALL. DEPENDS names
# what COMPILER itself needs built first; DESTINATION installs the source with
# its compiled form.
function(kit_fpc_unit target source outdir)
  cmake_parse_arguments(KU "" "DESTINATION" "COMPILER;DEPENDS" ${ARGN})
  if(NOT KU_COMPILER)
    set(KU_COMPILER ${FPC_EXECUTABLE} -l- -vew)
  endif()
  get_filename_component(unit ${source} NAME_WE)
  set(built ${outdir}/${unit}.ppu ${outdir}/${unit}.o)
  add_custom_command(
    OUTPUT ${built}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${outdir}
    COMMAND ${KU_COMPILER} -O2 -FU${outdir} ${source}
    DEPENDS ${source} ${KU_DEPENDS}
    COMMENT "Compiling the Pascal unit ${target} with fpc")
  add_custom_target(${target} ALL DEPENDS ${built})
  set_target_properties(${target} PROPERTIES
    KIT_FPC_UNIT_DIR ${outdir}
    KIT_FPC_UNIT_FILE ${outdir}/${unit}.ppu
    KIT_FPC_COMPILER "${KU_COMPILER}")
  if(KU_DESTINATION)
    install(FILES ${source} ${built} DESTINATION ${KU_DESTINATION})
  endif()
endfunction()

# kit_fpc_program(NAME SOURCE UNIT unit_target): the program NAME, in this
# binary directory, built from SOURCE on the unit with the unit's compiler.
# kit_test finds it through PROGRAMS VAR=NAME; elsewhere it is
# $<TARGET_FILE:NAME_file>.
function(kit_fpc_program name source)
  cmake_parse_arguments(KP "" "UNIT" "" ${ARGN})
  if(NOT TARGET "${KP_UNIT}")
    message(FATAL_ERROR "kit_fpc_program(${name}): UNIT names no kit_fpc_unit")
  endif()
  get_target_property(unitdir ${KP_UNIT} KIT_FPC_UNIT_DIR)
  if(NOT unitdir)
    message(FATAL_ERROR "kit_fpc_program(${name}): ${KP_UNIT} is no kit_fpc_unit")
  endif()
  get_target_property(unitfile ${KP_UNIT} KIT_FPC_UNIT_FILE)
  get_target_property(compiler ${KP_UNIT} KIT_FPC_COMPILER)
  set(exe ${CMAKE_CURRENT_BINARY_DIR}/${name})
  # Each program its own object directory: programs sharing a source
  # must not overwrite each other's objects in a parallel build.
  set(objdir ${CMAKE_CURRENT_BINARY_DIR}/pascal/${name})
  add_custom_command(
    OUTPUT ${exe}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${objdir}
    COMMAND ${compiler} -O2 -Fu${unitdir} -FU${objdir} -o${exe} ${source}
    DEPENDS ${source} ${KP_UNIT} ${unitfile}
    COMMENT "Compiling the Pascal program ${name} on ${KP_UNIT}")
  add_custom_target(${name} ALL DEPENDS ${exe})
  set_target_properties(${name} PROPERTIES KIT_PROGRAM_FILE ${exe})
  add_executable(${name}_file IMPORTED GLOBAL)
  set_target_properties(${name}_file PROPERTIES IMPORTED_LOCATION ${exe})
endfunction()
