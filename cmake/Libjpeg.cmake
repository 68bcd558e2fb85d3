# libjpeg for the Windows presets, built from the sources tools/setup.sh fetches
# into .deps/ with the preset's own toolchain file. Defines the target libjpeg.
set(NORVELLIX_LIBJPEG_SOURCE ${PROJECT_SOURCE_DIR}/.deps/libjpeg-turbo)
if(NOT EXISTS ${NORVELLIX_LIBJPEG_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "libjpeg-turbo sources missing in ${NORVELLIX_LIBJPEG_SOURCE}: run tools/setup.sh")
endif()

include(ExternalProject)
set(libjpeg_prefix ${PROJECT_BINARY_DIR}/libjpeg)
ExternalProject_Add(libjpeg_build
  SOURCE_DIR ${NORVELLIX_LIBJPEG_SOURCE}
  PREFIX ${libjpeg_prefix}
  INSTALL_DIR ${libjpeg_prefix}/install
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE}
    -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_INSTALL_PREFIX=<INSTALL_DIR>
    -DCMAKE_INSTALL_LIBDIR=lib
    -DWITH_SIMD=OFF -DENABLE_SHARED=OFF -DWITH_TURBOJPEG=OFF
    -DCMAKE_POLICY_DEFAULT_CMP0091=NEW
  BUILD_BYPRODUCTS <INSTALL_DIR>/lib/libjpeg.a
  UPDATE_COMMAND ""
  USES_TERMINAL_BUILD OFF)
ExternalProject_Get_Property(libjpeg_build INSTALL_DIR)
file(MAKE_DIRECTORY ${INSTALL_DIR}/include)
add_library(libjpeg STATIC IMPORTED GLOBAL)
set_target_properties(libjpeg PROPERTIES
  IMPORTED_LOCATION ${INSTALL_DIR}/lib/libjpeg.a
  INTERFACE_INCLUDE_DIRECTORIES ${INSTALL_DIR}/include)
add_dependencies(libjpeg libjpeg_build)
