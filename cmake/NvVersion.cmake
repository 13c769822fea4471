# Version resources: every deliverable carries the project's one version number (project() in the
# top-level CMakeLists.txt), so the update client reads the same number from each installed file.
#
# nv_add_version_resource(target FILE <file name> DESCRIPTION <text>)
# nv_configure_version_rc(<rc out> FILE <file name> DESCRIPTION <text> TYPE VFT_APP|VFT_DLL)
#   the same resource script, for files linked by a custom command (the resource-only library).

if(WIN32)
  enable_language(RC)
endif()

function(nv_configure_version_rc rc)
  cmake_parse_arguments(ARG "" "FILE;DESCRIPTION;TYPE" "" ${ARGN})
  set(NV_RC_FILE ${ARG_FILE})
  set(NV_RC_DESCRIPTION ${ARG_DESCRIPTION})
  set(NV_RC_TYPE ${ARG_TYPE})
  get_filename_component(NV_RC_NAME ${ARG_FILE} NAME_WE)
  set(NV_RC_TWEAK 0)
  if(PROJECT_VERSION_TWEAK)
    set(NV_RC_TWEAK ${PROJECT_VERSION_TWEAK})
  endif()
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
endfunction()

function(nv_add_version_resource target)
  cmake_parse_arguments(ARG "" "FILE;DESCRIPTION" "" ${ARGN})
  if(NOT WIN32)
    return()
  endif()
  get_target_property(kind ${target} TYPE)
  if(kind STREQUAL "EXECUTABLE")
    set(type VFT_APP)
  else()
    set(type VFT_DLL)
  endif()
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  nv_configure_version_rc(${rc} FILE ${ARG_FILE} DESCRIPTION "${ARG_DESCRIPTION}" TYPE ${type})
  target_sources(${target} PRIVATE ${rc})
endfunction()

# The Windows files the product ships, each with a version resource (read back by the version test,
# packed by the release script and the installer); the targets that build them.
set(NV_SHIPPED_BINARIES Netvane.exe Corekit.dll NvIdle.dll NvSVC.exe Updagent.exe continue.exe NvUninst.dll
                        NvRes.dll LDNvChng.EXE)
set(NV_SHIPPED_TARGETS Netvane corekit nvidle nvsvc Updagent continue nvuninst nvres ldnvchng)
