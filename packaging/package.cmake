# The Debian package: `cmake --build build/release --target package` writes vazovevoz_VERSION_ARCH.deb.
# Included by the top-level CMakeLists.txt after the install rules; scripts/check-package.sh checks
# the result (its files, lintian, the launcher entry, the AppStream data, and the programs it holds).

# Manual pages are installed compressed, as Debian's policy asks: gzip -9 without a name or time
# stamp in the header, so that the same page always makes the same bytes.
set(VAZO_MAN_PAGES vazovevoz.1 vrplmenu.1)
set(VAZO_MAN_GZ)
foreach(page IN LISTS VAZO_MAN_PAGES)
  set(out ${CMAKE_BINARY_DIR}/man/${page})
  add_custom_command(OUTPUT ${out}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/docs/man/${page} ${out}
    COMMAND gzip -9nf ${out}
    DEPENDS ${PROJECT_SOURCE_DIR}/docs/man/${page}
    VERBATIM)
  list(APPEND VAZO_MAN_GZ ${out}.gz)
endforeach()
set(VAZO_CHANGELOG_GZ ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${VAZO_CHANGELOG_GZ}
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/packaging/changelog ${CMAKE_BINARY_DIR}/packaging/changelog
  COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/packaging/changelog
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog
  VERBATIM)
add_custom_target(vazo_package_docs ALL DEPENDS ${VAZO_MAN_GZ} ${VAZO_CHANGELOG_GZ})

install(FILES ${VAZO_MAN_GZ} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The folder is named for the package, not for the project as GNUInstallDirs would name it.
install(FILES packaging/copyright ${VAZO_CHANGELOG_GZ} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vazovevoz)
# The help page the program shows (F1), made from the README at build time (workspace/CMakeLists.txt).
install(FILES ${PROJECT_BINARY_DIR}/help/help.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vazovevoz)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vazovevoz)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "VazoVevoz developers <vazovevoz@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "authoring tool for the interactive menus of a movie player")
# Lines of the extended description stay below 80 characters, as Debian's policy asks.
set(CPACK_PACKAGE_DESCRIPTION
  "VazoVevoz opens the menu video (AVI) of a movie player's interactive\n"
  "menu, steps through it frame by frame, defines the menu's pages (frame\n"
  "ranges of the video or still JPEG pictures), draws the clickable\n"
  "rectangles of each page, gives them actions, takes the movie's data\n"
  "(files, chapters, languages, subtitles, special features) and saves\n"
  "everything as one menu INI file that the player reads. A preview plays\n"
  "the menu as the player will.\n"
  "\n"
  "vrplmenu, the command-line companion, checks and normalises menu files,\n"
  "inspects videos and replays walkthroughs recorded in the preview.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_STRIP_FILES ON)
# The archive holds what the install rules give it, whatever the umask of the build.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries come from what the programs link (dpkg-shlibdeps); Qt's platform plugins are loaded
# at run time, so nothing links them, and without them the window cannot open. Graphviz's layout and
# renderers are plugins of libgvc6 in the same way: named, so that the page map can be drawn.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libdvdread (the DVD import) and Graphviz (the page map) are named as well, so that the package
# says it also where the build machine's shlibs data is incomplete.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libgvc6, libdvdread8")
include(CPack)
