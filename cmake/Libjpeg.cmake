# libjpeg for the Windows presets, built from the sources tools/setup.sh fetches
# into .deps/ with the preset's own toolchain file. Defines the target libjpeg.
set(NORVELLIX_LIBJPEG_SOURCE ${PROJECT_SOURCE_DIR}/.deps/libjpeg-turbo)
if(NOT EXISTS ${NORVELLIX_LIBJPEG_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "libjpeg-turbo sources missing in ${NORVELLIX_LIBJPEG_SOURCE}: run tools/setup.sh")
endif()

include(ExternalProject)
# Only the static library is built, and used from its build folder (with the
# generated jconfig.h there and the public headers in the sources).
ExternalProject_Add(libjpeg_build
  SOURCE_DIR ${NORVELLIX_LIBJPEG_SOURCE}
  PREFIX ${PROJECT_BINARY_DIR}/libjpeg
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE}
    -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_INSTALL_PREFIX=<INSTALL_DIR>
    -DWITH_SIMD=OFF -DENABLE_SHARED=OFF -DWITH_TURBOJPEG=OFF
  BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target jpeg-static
  BUILD_BYPRODUCTS <BINARY_DIR>/libjpeg.a
  INSTALL_COMMAND ""
  UPDATE_COMMAND "")
ExternalProject_Get_Property(libjpeg_build BINARY_DIR)
add_library(libjpeg STATIC IMPORTED GLOBAL)
set_target_properties(libjpeg PROPERTIES
  IMPORTED_LOCATION ${BINARY_DIR}/libjpeg.a
  INTERFACE_INCLUDE_DIRECTORIES "${BINARY_DIR};${NORVELLIX_LIBJPEG_SOURCE}")
add_dependencies(libjpeg libjpeg_build)
