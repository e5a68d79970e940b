# cmake -DTEMPLATE=... -DMODULE=... -DVERSION=... -DOUTPUT=... -P inline.cmake:
cmake_minimum_required(VERSION 3.20...3.25)
# the page template with the program's module put in its place.
file(READ ${TEMPLATE} page)
file(READ ${MODULE} module)
# The module sits in a <script> element, which its text must not close.
string(FIND "${module}" "</script" closes)
if(NOT closes EQUAL -1)
  message(FATAL_ERROR "${MODULE} holds </script and cannot be inlined")
endif()
string(REPLACE "@VERSION@" "${VERSION}" page "${page}")
string(REPLACE "@DALK_MODULE@" "${module}" page "${page}")
file(WRITE ${OUTPUT} "${page}")
