# Build helpers of the ActiveX framework.
#
# activex_add_typelib(<name> IDL <file.idl> [INCLUDES <file.idl>...]
#                     [DISPINTERFACE_FLAGS <guid>=<hexflags>...])
#   Compiles the IDL with widl into ${CMAKE_CURRENT_BINARY_DIR}/<name>.tlb and the
#   C++ header <name>.h (on the include path of targets that link <name>_idl).
#   DISPINTERFACE_FLAGS adds type flags widl refuses to write (e.g. 80 for
#   nonextensible on a dispinterface) to the finished library.
#   INCLUDES names the files the IDL #includes, so that a change rebuilds it; the
#   framework's own IDL files (ACTIVEX_FORM_IDLS: the active form's enumerations and
#   properties) are found by their names alone.
#   Sets <name>_TLB to the library's path.
#
# activex_link_control_library(<target>)
#   Links a control library (whose server.cpp uses ACTIVEX_SERVER_ENTRY_POINTS):
#   its own entry point in front of the runtime's, and on 32 bits the entry points
#   undecorated, as regsvr32 and COM look them up.
set(ACTIVEX_TOOLS_DIR ${CMAKE_CURRENT_LIST_DIR}/tools CACHE INTERNAL "The ActiveX build tools")
set(ACTIVEX_IDL_DIR ${CMAKE_CURRENT_LIST_DIR} CACHE INTERNAL "The ActiveX framework's IDL files")
set(ACTIVEX_FORM_IDLS ${ACTIVEX_IDL_DIR}/active_form_enums.idl
    ${ACTIVEX_IDL_DIR}/active_form_properties.idl CACHE INTERNAL "The active form's IDL files")

function(activex_add_typelib name)
  cmake_parse_arguments(ARG "" "IDL" "INCLUDES;DISPINTERFACE_FLAGS" ${ARGN})
  get_filename_component(idl ${ARG_IDL} ABSOLUTE)
  set(out ${CMAKE_CURRENT_BINARY_DIR})
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(widl_target --win64)
  else()
    set(widl_target --win32)
  endif()
  set(raw ${out}/${name}.widl.tlb)
  add_custom_command(
    OUTPUT ${out}/${name}.tlb ${out}/${name}.h
    COMMAND ${NORVELLIX_WIDL} ${widl_target} -I/usr/include/wine/wine/windows -I${ACTIVEX_IDL_DIR}
            -L${NORVELLIX_WINE_STDOLE_DIR} -t -o ${raw} ${idl}
    COMMAND ${NORVELLIX_WIDL} ${widl_target} -I/usr/include/wine/wine/windows -I${ACTIVEX_IDL_DIR}
            -L${NORVELLIX_WINE_STDOLE_DIR} -h -o ${out}/${name}.h ${idl}
    COMMAND perl ${ACTIVEX_TOOLS_DIR}/tlb-typeflags.pl ${raw} ${out}/${name}.tlb
            ${ARG_DISPINTERFACE_FLAGS}
    DEPENDS ${idl} ${ARG_INCLUDES} ${ACTIVEX_TOOLS_DIR}/tlb-typeflags.pl
    COMMENT "widl ${name}"
    VERBATIM)
  add_custom_target(${name}_idl_files DEPENDS ${out}/${name}.tlb ${out}/${name}.h)
  add_library(${name}_idl INTERFACE)
  target_include_directories(${name}_idl INTERFACE ${out})
  add_dependencies(${name}_idl ${name}_idl_files)
  set(${name}_TLB ${out}/${name}.tlb PARENT_SCOPE)
endfunction()

function(activex_link_control_library target)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_link_options(${target} PRIVATE -Wl,--kill-at -Wl,--enable-stdcall-fixup
                        -Wl,--entry=_ActiveXLibraryEntry@12)
  else()
    target_link_options(${target} PRIVATE -Wl,--entry=ActiveXLibraryEntry)
  endif()
endfunction()
