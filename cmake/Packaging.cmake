# The manual page for every install, and the Debian package that CPack builds
# from the same install rules: build/zurav3_<version>_<arch>.deb.

# Debian keeps manual pages and changelogs gzipped, without a time stamp.
function(zurav3_gzip source output)
    get_filename_component(name ${source} NAME)
    add_custom_command(OUTPUT ${output}
        COMMAND gzip -9nc ${source} > ${output}
        DEPENDS ${source}
        COMMENT "Compressing ${name}")
endfunction()

set(ZURAV3_PACKAGE_MAINTAINER "ZURav3 developers <zurav3@tovradio.example>"
    CACHE STRING "The Debian package's Maintainer field, and the changelog's signature")
set(ZURAV3_DEBIAN_REVISION 1
    CACHE STRING "The Debian revision after the program's version in the package version")
set(ZURAV3_DEBIAN_VERSION ${PROJECT_VERSION}-${ZURAV3_DEBIAN_REVISION})

set(generated ${PROJECT_BINARY_DIR}/packaging)
configure_file(${PROJECT_SOURCE_DIR}/data/ZURav3.1 ${generated}/ZURav3.1 @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/copyright ${generated}/copyright @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.Debian.in
               ${generated}/changelog.Debian @ONLY)
zurav3_gzip(${generated}/ZURav3.1 ${generated}/ZURav3.1.gz)
zurav3_gzip(${generated}/changelog.Debian ${generated}/changelog.Debian.gz)
add_custom_target(zurav3_documents ALL
    DEPENDS ${generated}/ZURav3.1.gz ${generated}/changelog.Debian.gz)

install(FILES ${generated}/ZURav3.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${generated}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zurav3)
# Only in the package: its changelog, and what lintian is told about it.
install(FILES ${generated}/changelog.Debian.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zurav3
        COMPONENT DebianPackage EXCLUDE_FROM_ALL)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME zurav3
        COMPONENT DebianPackage EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zurav3)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE ${ZURAV3_DEBIAN_REVISION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
# The program looks for its browser module in the prefix it was built for.
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
# Everything the install rules install, and the package's own documents.
set(CPACK_INSTALL_CMAKE_PROJECTS
    "${PROJECT_BINARY_DIR};${PROJECT_NAME};ALL;/"
    "${PROJECT_BINARY_DIR};${PROJECT_NAME};DebianPackage;/")
set(CPACK_PACKAGE_CONTACT ${ZURAV3_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "player for a radio show's podcast feed")
# Read here: CPack escapes a description file's apostrophes as in XML.
file(READ ${PROJECT_SOURCE_DIR}/packaging/description.txt CPACK_DEBIAN_PACKAGE_DESCRIPTION)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps names the libraries the program and its module link. libmpv
# is opened by name when first used (libmpv.so.2: the client API of mpv
# 0.35), and the web engine runs its pages in a helper program that the
# engine's library package does not pull in.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libmpv2 (>= 0.35), libqt6webenginecore6-bin")
# Used when present: Qt's own texts in Korean, a font with Korean letters (the
# one the program asks for first), Wayland sessions, a sound server that mpv
# reaches through PulseAudio's protocol.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "qt6-translations-l10n, fonts-nanum | fonts-noto-cjk, qt6-wayland, pipewire-pulse | pulseaudio")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# Stripped as Debian's own packages are (dh_strip), with the compiler's
# comments gone too.
set(CPACK_STRIP_FILES ON)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/StripSections.cmake)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Checked when the package is built, not when the build is configured.
set(CPACK_PROJECT_CONFIG_FILE ${generated}/PackageChecks.cmake)
file(WRITE ${generated}/PackageChecks.cmake "
if(NOT CPACK_PACKAGING_INSTALL_PREFIX STREQUAL \"/usr\")
    message(FATAL_ERROR \"The Debian package installs into /usr, and the program looks for its \"
        \"module where it was configured to be installed: configure with \"
        \"-DCMAKE_INSTALL_PREFIX=/usr (the default preset does).\")
endif()
file(STRINGS \"${PROJECT_SOURCE_DIR}/packaging/changelog.Debian.in\" top LIMIT_COUNT 1)
if(NOT top MATCHES \"^zurav3 \\\\(${ZURAV3_DEBIAN_VERSION}\\\\) \")
    message(FATAL_ERROR \"packaging/changelog.Debian.in has no entry for ${ZURAV3_DEBIAN_VERSION} \"
        \"at its top: add one.\")
endif()
")
include(CPack)
