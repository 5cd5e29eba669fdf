# The layers as libraries of their own, each refusing what it must not use: the core's rooms
# (base, the engine's records, fs, posix, changes and walk, the profile and the settings store), then the
# runner and the window over them. A layer compiles against an include folder of its own, made of
# symbolic links to the source folders it may include and nothing else, so that an include from a
# layer above does not compile. An include that climbs with ".." would get round that, so the build
# refuses every one (cmake/check_includes.cmake). A check at the end of configuring refuses any core
# library that links Qt.

add_custom_target(twinfol_include_check
                  COMMAND ${CMAKE_COMMAND} -DTWINFOL_SOURCE_DIR=${CMAKE_SOURCE_DIR}
                          -P ${CMAKE_SOURCE_DIR}/cmake/check_includes.cmake
                  COMMENT "Checking that no #include climbs out of its layer")

# twinfol_layer_library(<target> SOURCES <files...> SEES <folders or files relative to the source root>
#                       LINKS <libraries...>)
function(twinfol_layer_library target)
  cmake_parse_arguments(PARSE_ARGV 1 LAYER "" "" "SOURCES;SEES;LINKS")
  add_library(${target} STATIC ${LAYER_SOURCES})
  add_dependencies(${target} twinfol_include_check)
  set(view ${CMAKE_BINARY_DIR}/include-views/${target})
  file(REMOVE_RECURSE ${view})
  foreach(seen ${LAYER_SEES})
    get_filename_component(parent ${view}/${seen} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${seen} ${view}/${seen} SYMBOLIC)
  endforeach()
  target_include_directories(${target} PUBLIC ${view})
  target_link_libraries(${target} PUBLIC ${LAYER_LINKS})
endfunction()

# A room of the core: every .cpp of its folder, built with the core's stricter warnings, and never
# linking Qt. twinfol_core_room(<target> FOLDER <folder> SEES <...> LINKS <...>)
function(twinfol_core_room target)
  cmake_parse_arguments(PARSE_ARGV 1 ROOM "" "FOLDER" "SEES;LINKS")
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${ROOM_FOLDER}/*.cpp)
  twinfol_layer_library(${target} SOURCES ${sources} SEES ${ROOM_SEES} LINKS ${ROOM_LINKS})
  target_compile_options(${target} PRIVATE -Wshadow -Wconversion)
  set_property(GLOBAL APPEND PROPERTY TWINFOL_CORE_TARGETS ${target})
endfunction()

# Every library a target links, directly or through other targets.
function(twinfol_linked_libraries target result)
  set(seen ${${result}})
  foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
    get_target_property(links ${target} ${property})
    if(NOT links)
      continue()
    endif()
    foreach(link ${links})
      string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" link "${link}")
      if(link IN_LIST seen)
        continue()
      endif()
      list(APPEND seen ${link})
      if(TARGET ${link})
        twinfol_linked_libraries(${link} seen)
      endif()
    endforeach()
  endforeach()
  set(${result} ${seen} PARENT_SCOPE)
endfunction()

function(twinfol_refuse_qt_in_core)
  get_property(targets GLOBAL PROPERTY TWINFOL_CORE_TARGETS)
  foreach(target ${targets})
    set(links "")
    twinfol_linked_libraries(${target} links)
    foreach(link ${links})
      if(link MATCHES "(^|[^A-Za-z])Qt[0-9]*(::|Core|Gui|Widgets|Test)")
        message(FATAL_ERROR "The core library ${target} links ${link}: the core must not use Qt.")
      endif()
    endforeach()
  endforeach()
endfunction()

# Runs once everything, the tests' folder included, has been configured.
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL twinfol_refuse_qt_in_core)
