# Compiler settings shared by every target of the project.

if(WIN32)
  # Everything the programs need is linked in, so no toolchain DLL has to ship.
  add_link_options(-static -static-libgcc -static-libstdc++)
  add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
  set(NV_PLATFORM_DIR win32)
else()
  set(NV_PLATFORM_DIR posix)
endif()

add_compile_options(-Wall -Wextra)

if(NV_SANITIZE AND NOT WIN32)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# Declares a library whose portable sources build everywhere and whose
# platform sources come from the win32/ or posix/ folder beside them.
function(nv_platform_sources target)
  cmake_parse_arguments(ARG "" "" "COMMON;WIN32;POSIX" ${ARGN})
  target_sources(${target} PRIVATE ${ARG_COMMON})
  if(WIN32)
    target_sources(${target} PRIVATE ${ARG_WIN32})
  else()
    target_sources(${target} PRIVATE ${ARG_POSIX})
  endif()
endfunction()

# The usual folder layout of a library: portable sources in src/, platform sources in win32/ or
# posix/, all beside the calling CMakeLists.txt.
function(nv_folder_sources target)
  set(dir ${CMAKE_CURRENT_SOURCE_DIR})
  file(GLOB common CONFIGURE_DEPENDS ${dir}/src/*.cpp)
  file(GLOB win32 CONFIGURE_DEPENDS ${dir}/win32/*.cpp)
  file(GLOB posix CONFIGURE_DEPENDS ${dir}/posix/*.cpp)
  nv_platform_sources(${target} COMMON ${common} WIN32 ${win32} POSIX ${posix})
endfunction()
