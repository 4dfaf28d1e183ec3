# cmake -DOUT=file -DNAME=name -DMAIN=function -DPARTS="a.h|b.c" -P onefile.cmake
# OUT: the parts as one C/C++ source whose main calls MAIN; the parts'
# includes of each other are dropped, as every part is already in the file.
set(text "/* ${NAME}.cpp: gridprobe-manager as a testlib-convention ")
string(APPEND text "program, whole in one\n   source file. Build: g++ -O2 -o ${NAME} ${NAME}.cpp ")
string(APPEND text "(gcc as C works too).\n   Generated from the manager's sources. */\n")
string(APPEND text "#define GRIDPROBE_TESTLIB_MAIN ${MAIN}\n")
string(REPLACE "|" ";" parts "${PARTS}")
foreach(part IN LISTS parts)
  file(READ "${part}" piece)
  string(REGEX REPLACE "\n#include \"[^\"\n]*\"[^\n]*" "" piece "${piece}")
  get_filename_component(base "${part}" NAME)
  string(APPEND text "\n/* ---- ${base} ---- */\n${piece}")
endforeach()
file(WRITE "${OUT}" "${text}")
