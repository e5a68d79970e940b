# The page, dalk-VERSION.html: the tool itself compiled to WebAssembly by
# Emscripten, in one self-contained file that opens from file:// and works
# offline. Included by CMakeLists.txt under emcmake only:
#   emcmake cmake -S . -B build-web -DDALK_TESTS=OFF && cmake --build build-web
#
# dalk.js is the program as a module factory, createDalk, its WebAssembly
# inside it as base64; the page runs it in a worker, main() anew for each
# run, with standard output and error caught in whole writes, and asks an
# instance of its own how an argument reads (dalk_read, web/reader.cpp).
target_sources(dalk PRIVATE web/reader.cpp)
target_link_options(dalk PRIVATE -sMODULARIZE=1 -sEXPORT_NAME=createDalk -sSINGLE_FILE=1
                    -sINVOKE_RUN=0 -sEXPORTED_FUNCTIONS=_main,_dalk_read
                    -sEXPORTED_RUNTIME_METHODS=callMain,FS,ccall -sENVIRONMENT=web,worker)

# The same program for node, on the real file descriptors: the build the
# differential check runs against the native one (tests/identity.sh --runner node).
add_executable(dalk_node src/main.cpp)
target_link_libraries(dalk_node PRIVATE dalk_core)
target_link_options(dalk_node PRIVATE -sNODERAWFS=1 -sEXIT_RUNTIME=1 -sENVIRONMENT=node -sSINGLE_FILE=1)

# dalk-axis for node likewise, reading node's standard input.
set_target_properties(dalk-axis PROPERTIES OUTPUT_NAME dalk-axis_node)
target_link_options(dalk-axis PRIVATE -sNODERAWFS=1 -sEXIT_RUNTIME=1 -sENVIRONMENT=node
                    -sSINGLE_FILE=1)

set(page ${PROJECT_BINARY_DIR}/dalk-${PROJECT_VERSION}.html)
add_custom_command(OUTPUT ${page}
  COMMAND ${CMAKE_COMMAND} -DTEMPLATE=${PROJECT_SOURCE_DIR}/web/dalk.html.in
          -DMODULE=$<TARGET_FILE:dalk> -DVERSION=${PROJECT_VERSION} -DOUTPUT=${page}
          -P ${PROJECT_SOURCE_DIR}/web/inline.cmake
  DEPENDS dalk web/dalk.html.in web/inline.cmake VERBATIM)
add_custom_target(page ALL DEPENDS ${page})
