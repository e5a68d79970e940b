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
# In the zip the guide is running.txt beside the README, and the README's
# other links to the source lead nowhere: their text stays.
if(INPUT MATCHES "README\\.md$")
  string(REPLACE "[doc/running.md](doc/running.md)" "running.txt" text "${text}")
  string(REGEX REPLACE "\\[([^]]+)\\]\\(([^):]+)\\)" "\\1" text "${text}")
endif()
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUTPUT} "${text}")
