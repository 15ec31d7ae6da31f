# Debian packages, built from one build by CPack (cmake --build build --target package, or cpack in
# the build folder):
#   dirtally         component "window": the window program, its desktop entry, icons, sound,
#                    AppStream metainfo and man page;
#   dirtally-report  component "report": the command (cli/) and its man page, so that a server
#                    installs the report without any display library.
# Both depend on what dpkg-shlibdeps finds the programs linked against; the window also on what it
# loads at run time, which no library scan sees.

find_program(DIRTALLY_GZIP gzip REQUIRED)

# Man pages are installed compressed; -n leaves the name and time out, so the same page always
# makes the same file.
set(man_pages dirtally window dirtally-report report)
set(compressed_pages)
while(man_pages)
    list(POP_FRONT man_pages page component)
    set(source ${PROJECT_SOURCE_DIR}/resources/${page}.1)
    set(copy ${PROJECT_BINARY_DIR}/man/${page}.1)
    add_custom_command(OUTPUT ${copy}.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${source} ${copy}
        COMMAND ${DIRTALLY_GZIP} -9nf ${copy}
        DEPENDS ${source}
        COMMENT "Compressing the man page ${page}(1)"
        VERBATIM)
    list(APPEND compressed_pages ${copy}.gz)
    install(FILES ${copy}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${component})
endwhile()
add_custom_target(dirtally_man_pages ALL DEPENDS ${compressed_pages})

install(FILES ${PROJECT_SOURCE_DIR}/resources/com.example.dirtally.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT window)

# A revision of the Debian packaging of this release; the version with it is no native package's.
set(DIRTALLY_DEBIAN_RELEASE 1)
set(DIRTALLY_PACKAGE_VERSION
    ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}-${DIRTALLY_DEBIAN_RELEASE})
set(DIRTALLY_MAINTAINER "${DIRTALLY_TITLE} <${DIRTALLY_SALES_MAIL}>")

# Each package carries the licence and its changelog where Debian's tools look for them.
set(packages dirtally window dirtally-report report)
set(changelogs)
while(packages)
    list(POP_FRONT packages PACKAGE component)
    set(VERSION ${DIRTALLY_PACKAGE_VERSION})
    set(UPSTREAM ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR})
    set(MAINTAINER ${DIRTALLY_MAINTAINER})
    set(changelog ${PROJECT_BINARY_DIR}/debian/${PACKAGE}/changelog.Debian)
    configure_file(${PROJECT_SOURCE_DIR}/resources/debian/changelog.in ${changelog} @ONLY)
    add_custom_command(OUTPUT ${changelog}.gz
        COMMAND ${DIRTALLY_GZIP} -9nkf ${changelog}
        DEPENDS ${changelog}
        COMMENT "Compressing the changelog of ${PACKAGE}"
        VERBATIM)
    list(APPEND changelogs ${changelog}.gz)
    install(FILES ${changelog}.gz ${PROJECT_SOURCE_DIR}/resources/debian/copyright
            DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${PACKAGE} COMPONENT ${component})
endwhile()
add_custom_target(dirtally_changelogs ALL DEPENDS ${changelogs})

set(CPACK_PACKAGE_NAME dirtally)
set(CPACK_PACKAGE_VENDOR ${DIRTALLY_TITLE})
set(CPACK_PACKAGE_VERSION
    ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH})
set(CPACK_PACKAGE_CONTACT ${DIRTALLY_MAINTAINER})
# Each package's description starts with a summary line of its own; CPack would put the project's
# description in front of both.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
set(CPACK_GENERATOR DEB)
# Installed programs lose their debugging sections, as Debian's own packages do.
set(CPACK_STRIP_FILES ON)

# Named, not taken from the install rules seen so far: the report component is defined in cli/,
# and anything installed without a component stays out of the packages.
set(CPACK_COMPONENTS_ALL window report)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CPACK_PACKAGE_CONTACT})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${DIRTALLY_WEB_ADDRESS})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${DIRTALLY_DEBIAN_RELEASE})

set(CPACK_DEBIAN_WINDOW_PACKAGE_NAME dirtally)
# Loaded at run time: Qt's Wayland plug-in, for a Wayland session without XWayland (the X11 one
# comes with Qt Gui, which the library scan finds), the sound theme and libcanberra's PulseAudio
# back end, the fonts the window opens (Liberation Sans for the design's sans fonts, a
# Palatino-style serif for the web address), and xdg-open, which opens the report, the web page
# and the mail.
set(CPACK_DEBIAN_WINDOW_PACKAGE_DEPENDS
    "qt6-wayland, libcanberra-pulse, sound-theme-freedesktop, fonts-liberation, \
fonts-texgyre | fonts-urw-base35, xdg-utils")
set(CPACK_DEBIAN_WINDOW_DESCRIPTION "${DIRTALLY_COMMENTS}, in a small desktop window
Dirtally writes a plain-text report of a folder's sub-folders and their
sizes, Dirtallied.txt, from a small desktop window: one line per
sub-folder with its exact total size in bytes, or one line per folder of
the whole tree beneath.")

set(CPACK_DEBIAN_REPORT_PACKAGE_NAME dirtally-report)
set(CPACK_DEBIAN_REPORT_DESCRIPTION "${DIRTALLY_COMMENTS}, from a command line
dirtally-report writes the report that the Dirtally window writes, a
plain-text list of a folder's sub-folders and their sizes, or the same as
CSV, without a window or any display library: for servers, scripts and
cron.")

include(CPack)
