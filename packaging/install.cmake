# What installing puts where, and the packages made from it with CPack:
#   cpack -G DEB   the Debian package, of the default (dynamic) build
#   cpack -G RPM   the RPM, and cpack -G TGZ the portable tarball, of a
#                  DALK_STATIC build
#   cpack -G ZIP   the Windows zip, of a MinGW build
# packaging/generators.cmake says what each of them holds; packaging/release
# makes them all.

set(CPACK_PACKAGE_NAME dalk)
set(CPACK_PACKAGE_VENDOR "dalk maintainers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "write a slice-by-slice CT reconstruction script")
set(CPACK_PACKAGE_CONTACT "dalk maintainers <maintainers@users.noreply.c-seed-4af0f7ef.example>")
set(CPACK_PACKAGE_HOMEPAGE_URL "${PROJECT_HOMEPAGE_URL}")
set(CPACK_STRIP_FILES ON)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/generators.cmake)

if(WIN32)
  # One folder to unpack and use: the programs, and texts with CR LF line
  # ends that any Windows editor opens, the manual pages rendered as text.
  install(TARGETS dalk dalk-axis RUNTIME DESTINATION . COMPONENT tool)
  find_program(GROFF groff)
  set(texts README.md:README.txt doc/running.md:running.txt LICENSE:LICENSE.txt
            CHANGELOG:CHANGELOG.txt)
  if(GROFF)
    list(APPEND texts man/dalk.1:dalk.txt man/dalk-axis.1:dalk-axis.txt)
  else()
    message(WARNING "groff not found: the Windows zip will hold no manual (Debian: groff-base)")
  endif()
  foreach(pair IN LISTS texts)
    string(REPLACE ":" ";" pair ${pair})
    list(GET pair 0 source)
    list(GET pair 1 name)
    add_custom_command(OUTPUT ${name}
      COMMAND ${CMAKE_COMMAND} -DINPUT=${PROJECT_SOURCE_DIR}/${source} -DOUTPUT=${name}
              -DGROFF=${GROFF} -P ${PROJECT_SOURCE_DIR}/packaging/windows-text.cmake
      DEPENDS ${source} packaging/windows-text.cmake VERBATIM)
    list(APPEND text_outputs ${PROJECT_BINARY_DIR}/${name})
  endforeach()
  add_custom_target(windows_texts ALL DEPENDS ${text_outputs})
  install(FILES ${text_outputs} DESTINATION . COMPONENT tool)
  set(CPACK_GENERATOR ZIP)
  include(CPack)
  return()
endif()

include(GNUInstallDirs)
install(TARGETS dalk dalk-axis RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tool)
# The compilers' version notes are of no use in an installed program; Debian
# strips them from its own.
if(CMAKE_OBJCOPY AND NOT APPLE)
  foreach(program dalk dalk-axis)
    install(CODE "execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
                  \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${program}\")"
            COMPONENT tool)
  endforeach()
endif()

# The manual page and the changelog go in compressed, as Debian installs its
# own: gzip -9n leaves out the name and time, so the same text gives the
# same bytes.
find_program(GZIP gzip)
function(install_gzipped source name destination component)
  if(GZIP)
    add_custom_command(OUTPUT ${name}.gz
      COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/${source} ${name}
      COMMAND ${GZIP} -9nf ${name}
      DEPENDS ${source} VERBATIM)
    add_custom_target(${name}_gz ALL DEPENDS ${name}.gz)
    install(FILES ${PROJECT_BINARY_DIR}/${name}.gz DESTINATION ${destination}
            COMPONENT ${component})
  else()
    install(FILES ${source} DESTINATION ${destination} RENAME ${name} COMPONENT ${component})
  endif()
endfunction()
install_gzipped(man/dalk.1 dalk.1 ${CMAKE_INSTALL_MANDIR}/man1 tool)
install_gzipped(man/dalk-axis.1 dalk-axis.1 ${CMAKE_INSTALL_MANDIR}/man1 tool)
install_gzipped(CHANGELOG changelog ${CMAKE_INSTALL_DOCDIR} docs)
install(FILES doc/running.md DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT docs) # the user's guide

# The licence: LICENSE beside the tool, or, in the Debian package only, the
# same text as its copyright file.
install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT license)
install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright COMPONENT debian
        EXCLUDE_FROM_ALL)
# The portable tarball's texts, at its top beside bin/ and share/ (the guide
# in doc/, where the README's link finds it), and its module file for Lmod
# and Environment Modules.
install(FILES README.md LICENSE CHANGELOG DESTINATION . COMPONENT portable EXCLUDE_FROM_ALL)
install(FILES doc/running.md DESTINATION doc COMPONENT portable EXCLUDE_FROM_ALL)
configure_file(packaging/modulefile.in modulefiles/dalk/${PROJECT_VERSION} @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/modulefiles/dalk/${PROJECT_VERSION}
        DESTINATION modulefiles/dalk COMPONENT portable EXCLUDE_FROM_ALL)

set(CPACK_PACKAGE_DESCRIPTION "dalk writes the batch script that reconstructs a run of X-ray
CT slices one slice at a time. Given the first and the last slice and the
rotation-axis position measured at each, it interpolates the axis for every
slice in single precision and writes four command lines per slice (mu_pelk,
pelk_varn, mu_rab, nol2fex) on standard output, to be redirected into a file
and run later. The script is the same byte for byte on every platform,
but for its CR LF line ends on Windows. dalk-axis fits the axis from
measurements at any slices and writes the dalk command for the run.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE) # one package of the components named
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_RPM_COMPONENT_INSTALL ON)
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_DALK_ARCH ${CMAKE_SYSTEM_PROCESSOR})
# The RPM, of the static build: it requires no shared library, so that one
# package serves RHEL 8 and 9 and CentOS 7, and it owns none of the
# directories that the system's packages share. Its build time and host come from
# SOURCE_DATE_EPOCH and a fixed name, so that two builds of one commit give
# the same bytes.
set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
set(CPACK_RPM_PACKAGE_SUMMARY "Write a slice-by-slice CT reconstruction script")
set(CPACK_RPM_PACKAGE_LICENSE MIT)
set(CPACK_RPM_PACKAGE_GROUP "Applications/Engineering")
set(CPACK_RPM_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_RPM_PACKAGE_AUTOREQ OFF)
set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION /usr/share/man /usr/share/man/man1)
set(CPACK_RPM_SPEC_MORE_DEFINE "%define packager ${CPACK_PACKAGE_CONTACT}
%define _build_id_links none
%define _buildhost reproducible
%define use_source_date_epoch_as_buildtime 1
%define clamp_mtime_to_source_date_epoch 1")

find_program(DPKG_SHLIBDEPS dpkg-shlibdeps)
if(DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  # dalk needs the C library alone, dalk-axis the C++ library as well
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6")
endif()
include(CPack)
