# The page, dalk-VERSION.html: the programs themselves compiled to
# WebAssembly by Emscripten, in one self-contained file that opens from
# file:// and works offline. Included by CMakeLists.txt under emcmake only:
#   emcmake cmake -S . -B build-web -DDALK_TESTS=OFF && cmake --build build-web
#
# dalk_page.js is dalk and dalk-axis as one module factory, createDalk, its
# WebAssembly inside it as base64 (web/main.cpp runs dalk-axis under that
# name); the page runs it in a worker, main() anew for each run, with
# standard input given and standard output and error caught in whole
# writes, and asks an instance of its own how an argument reads
# (dalk_read, web/reader.cpp).
add_executable(dalk_page web/main.cpp web/reader.cpp)
target_compile_options(dalk_page PRIVATE ${dalk_warnings})
target_link_libraries(dalk_page PRIVATE dalk_core)
target_link_options(dalk_page PRIVATE -sMODULARIZE=1 -sEXPORT_NAME=createDalk -sSINGLE_FILE=1
                    -sINVOKE_RUN=0 -sEXPORTED_FUNCTIONS=_main,_dalk_read
                    -sEXPORTED_RUNTIME_METHODS=callMain,FS,ccall -sENVIRONMENT=web,worker)

# The programs for node, on the real file descriptors: the builds that the
# differential check runs against the native ones (tests/identity.sh
# --runner node).
foreach(program dalk dalk-axis)
  set_target_properties(${program} PROPERTIES OUTPUT_NAME ${program}_node)
  target_link_options(${program} PRIVATE -sNODERAWFS=1 -sEXIT_RUNTIME=1 -sENVIRONMENT=node
                      -sSINGLE_FILE=1)
endforeach()

set(page ${PROJECT_BINARY_DIR}/dalk-${PROJECT_VERSION}.html)
add_custom_command(OUTPUT ${page}
  COMMAND ${CMAKE_COMMAND} -DTEMPLATE=${PROJECT_SOURCE_DIR}/web/dalk.html.in
          -DMODULE=$<TARGET_FILE:dalk_page> -DVERSION=${PROJECT_VERSION} -DOUTPUT=${page}
          -P ${PROJECT_SOURCE_DIR}/web/inline.cmake
  DEPENDS dalk_page web/dalk.html.in web/inline.cmake VERBATIM)
add_custom_target(page ALL DEPENDS ${page})
