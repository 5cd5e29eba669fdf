# Install rules: the two programs, the manual, the man pages, the runner's shell completions and the
# desktop integration (menu entry, icon and the .twp file type), in the usual places under the
# install prefix. Included at the end of
# the root CMakeLists.txt, once every target is known.
include(GNUInstallDirs)

set(TWINFOL_RESOURCE_DIR ${CMAKE_SOURCE_DIR}/resources)
set(TWINFOL_MANUAL ${TWINFOL_RESOURCE_DIR}/twinfol-manual.html)
# The manual keeps a lower-case folder name, as the man pages name it, rather than the project name
# that CMAKE_INSTALL_DOCDIR would use.
set(TWINFOL_INSTALL_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/twinfol)

# The window's Help button looks for the manual beside the executable first, so a program run from
# the build tree finds it too. configure_file makes a changed manual reach the build tree on the next
# build, without any build step of its own.
configure_file(${TWINFOL_MANUAL} ${CMAKE_BINARY_DIR}/twinfol-manual.html COPYONLY)
# The manual's pictures lie beside it, wherever it is read from.
file(GLOB TWINFOL_MANUAL_PICTURES ${TWINFOL_RESOURCE_DIR}/twinfol-manual-*.png)
foreach(picture ${TWINFOL_MANUAL_PICTURES})
  get_filename_component(pictureName ${picture} NAME)
  configure_file(${picture} ${CMAKE_BINARY_DIR}/${pictureName} COPYONLY)
endforeach()

install(FILES ${TWINFOL_MANUAL} ${TWINFOL_MANUAL_PICTURES} DESTINATION ${TWINFOL_INSTALL_DOCDIR})

if(TARGET twinfol-sync)
  install(TARGETS twinfol-sync RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${TWINFOL_RESOURCE_DIR}/twinfol-sync.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  # Where bash-completion, zsh and fish look for the completions of installed programs. A component
  # of their own lets them be installed alone (cmake --install build --component completions); a
  # plain install includes them.
  set(TWINFOL_COMPLETIONS ${TWINFOL_RESOURCE_DIR}/completions)
  install(FILES ${TWINFOL_COMPLETIONS}/twinfol-sync.bash
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME twinfol-sync
          COMPONENT completions)
  install(FILES ${TWINFOL_COMPLETIONS}/_twinfol-sync DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/site-functions
          COMPONENT completions)
  install(FILES ${TWINFOL_COMPLETIONS}/twinfol-sync.fish
          DESTINATION ${CMAKE_INSTALL_DATADIR}/fish/vendor_completions.d COMPONENT completions)
endif()

# The menu entry, the icon and the file type only make sense with the desktop program beside them.
if(TARGET twinfol)
  install(TARGETS twinfol RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${TWINFOL_RESOURCE_DIR}/twinfol.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${TWINFOL_RESOURCE_DIR}/twinfol.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${TWINFOL_RESOURCE_DIR}/twinfol-mime.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME twinfol.xml)
  # Software centres find the program by its AppStream file, named after the component's id.
  install(FILES ${TWINFOL_RESOURCE_DIR}/twinfol.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo RENAME com.quillmark.twinfol.metainfo.xml)
  if(EXISTS ${TWINFOL_RESOURCE_DIR}/twinfol.svg)
    install(FILES ${TWINFOL_RESOURCE_DIR}/twinfol.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  endif()
endif()
