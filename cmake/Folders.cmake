# One library per folder, with the folders it may use declared as its links, and a
# fence the compiler keeps: a folder's headers are found only by the targets that
# link its library. No target sees the source tree's root; each library has an
# include root of its own in the build tree, holding links to its folder's headers
# under their usual names ("folder/header.h"). A new include of a folder that is not
# linked fails to compile.
#
# norvellix_library(<name> FOLDER <dir> [SOURCES <file>...] [LINKS <target>...])
#   A static library of the sources (header-only without them) over the headers of
#   <dir>. LINKS are public: what the folder's headers and code use.
# norvellix_folder_headers(<target> <dir>)
#   The headers of <dir> for one target of its own folder (a program and its tests).
set(NORVELLIX_INCLUDE_ROOTS ${PROJECT_BINARY_DIR}/include)

function(norvellix_folder_headers target folder)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    set(scope INTERFACE)
  elseif(type MATCHES "LIBRARY")
    set(scope PUBLIC)
  else()
    set(scope PRIVATE)
  endif()
  set(root ${NORVELLIX_INCLUDE_ROOTS}/${target})
  file(GLOB headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${folder}/*.h)
  # Made anew at every configure, so that a header removed from the folder goes too.
  file(REMOVE_RECURSE ${root}/${folder})
  file(MAKE_DIRECTORY ${root}/${folder})
  foreach(header IN LISTS headers)
    get_filename_component(name ${header} NAME)
    file(CREATE_LINK ${header} ${root}/${folder}/${name} SYMBOLIC)
  endforeach()
  target_include_directories(${target} ${scope} ${root})
endfunction()

function(norvellix_library name)
  cmake_parse_arguments(ARG "" "FOLDER" "SOURCES;LINKS" ${ARGN})
  if(ARG_SOURCES)
    add_library(${name} STATIC ${ARG_SOURCES})
    set(scope PUBLIC)
  else()
    add_library(${name} INTERFACE)
    set(scope INTERFACE)
  endif()
  norvellix_folder_headers(${name} ${ARG_FOLDER})
  target_link_libraries(${name} ${scope} project_options ${ARG_LINKS})
endfunction()
