# Compiler settings every target of the project shares.
add_library(project_options INTERFACE)

target_compile_options(project_options INTERFACE
  -Wall -Wextra
  # The tone decision is specified operation by operation in double precision:
  # no fused multiply-adds and no wider intermediates, so all builds agree.
  -ffp-contract=off)
if(NORVELLIX_WERROR)
  target_compile_options(project_options INTERFACE -Werror)
endif()

if(CMAKE_SYSTEM_PROCESSOR MATCHES "i686|i386")
  # x87 keeps excess precision; SSE2 rounds every double operation as written.
  target_compile_options(project_options INTERFACE -msse2 -mfpmath=sse)
endif()

if(WIN32)
  # Deliverables must load in hosts that have no MinGW runtime DLLs.
  target_link_options(project_options INTERFACE -static -static-libgcc -static-libstdc++)
  target_compile_definitions(project_options INTERFACE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)
endif()

if(NORVELLIX_FUZZ)
  # Every object carries libFuzzer's coverage; the fuzz programs alone link its
  # main (fuzz/CMakeLists.txt).
  target_compile_options(project_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined
    -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(project_options INTERFACE -fsanitize=address,undefined)
elseif(NORVELLIX_SANITIZE)
  target_compile_options(project_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(project_options INTERFACE -fsanitize=address,undefined)
endif()

if(NORVELLIX_SANITIZE_THREAD)
  target_compile_options(project_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(project_options INTERFACE -fsanitize=thread)
endif()
