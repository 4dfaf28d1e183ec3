# cmake -DOUT=file -DPARTS="a;b" -P concat.cmake: OUT holds the parts in order.
set(text "")
foreach(part IN LISTS PARTS)
  file(READ "${part}" piece)
  string(APPEND text "${piece}")
endforeach()
file(WRITE "${OUT}" "${text}")
