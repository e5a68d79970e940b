# Read by cpack once for each generator: what each package holds, and the
# settings that only one of them has. Components (install.cmake): tool (the
# program and its manual page), docs (the compressed changelog and the
# guide, running.md), license, debian (the licence as Debian's copyright
# file) and portable (README, the guide, LICENSE and CHANGELOG at the
# tarball's top).
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_COMPONENTS_ALL tool docs debian)
elseif(CPACK_GENERATOR STREQUAL "RPM")
  set(CPACK_COMPONENTS_ALL tool docs license)
elseif(CPACK_GENERATOR STREQUAL "TGZ")
  # dalk-VERSION-linux-ARCH/ holding bin/, share/man/ and the texts: with
  # its bin/ on PATH, dalk runs and man finds its page, without root.
  set(CPACK_COMPONENTS_ALL tool portable)
  set(CPACK_PACKAGING_INSTALL_PREFIX "")
  set(CPACK_PACKAGE_FILE_NAME "dalk-${CPACK_PACKAGE_VERSION}-linux-${CPACK_DALK_ARCH}")
  set(CPACK_ARCHIVE_FILE_NAME "${CPACK_PACKAGE_FILE_NAME}")
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
endif()
