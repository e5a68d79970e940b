# cmake -DINPUT=file -DOUTPUT=file [-DGROFF=groff] -P windows-text.cmake
# Copies a text with CR LF line ends, for the Windows zip; a manual page
# (*.1) is first rendered to plain ASCII text by groff.
if(INPUT MATCHES "\\.1$")
  execute_process(COMMAND ${GROFF} -man -Tascii -P-cbou ${INPUT}
                  OUTPUT_VARIABLE text RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "groff could not render ${INPUT}")
  endif()
else()
  file(READ ${INPUT} text)
endif()
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUTPUT} "${text}")
