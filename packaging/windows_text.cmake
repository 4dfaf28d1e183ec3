# cmake -DIN=FILE -DOUT=FILE [-DGROFF=groff] -P windows_text.cmake: writes
# IN with CR LF line ends; with GROFF, IN is a man page rendered as plain
# text first (no bold or underline overstrikes).
if(GROFF)
  execute_process(
    COMMAND ${GROFF} -t -man -Tascii -P-c -P-b -P-o -P-u -rLL=78n ${IN}
    OUTPUT_VARIABLE text RESULT_VARIABLE failed ERROR_VARIABLE errors)
  if(failed OR errors)
    message(FATAL_ERROR "groff on ${IN}: ${failed} ${errors}")
  endif()
else()
  file(READ ${IN} text)
endif()
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUT} "${text}")
