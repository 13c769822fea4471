# One test suite, two runs: natively and, cross-built, under Wine.
#
# nv_add_test(NAME name SOURCES ... LIBS ... [WIN32_ONLY] [HOST_ONLY] [OWN_DISPLAY] [LABELS ...])
# Each test program is one CTest test.  Under Wine every test requires the
# "wine" fixture, which boots the build tree's own prefix once and keeps one
# wineserver alive for the whole run (nv_add_wine_fixture: a second prefix).  OWN_DISPLAY (tests that take screenshots):
# under Wine the test runs on an X display of its own (scripts/own-display.sh), so
# no other test's windows can reach its pictures.

include(CTest)
enable_testing()

if(NOT TARGET GTest::gtest)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  if(NOT TARGET GTest::gtest)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
endif()

set(NV_TOOLS_DIR ${CMAKE_SOURCE_DIR}/scripts)

if(CMAKE_CROSSCOMPILING)
  set(NV_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  add_test(NAME wine_setup COMMAND ${NV_TOOLS_DIR}/wine-fixture.sh setup ${NV_WINEPREFIX})
  add_test(NAME wine_cleanup COMMAND ${NV_TOOLS_DIR}/wine-fixture.sh cleanup ${NV_WINEPREFIX})
  # The fixture's Xvfb display; NV_XVFB_DISPLAY (at configure time) keeps parallel runs apart.
  set(NV_XVFB_DISPLAY $ENV{NV_XVFB_DISPLAY})
  if(NOT NV_XVFB_DISPLAY)
    set(NV_XVFB_DISPLAY :97)
  endif()
  set_tests_properties(wine_setup PROPERTIES FIXTURES_SETUP wine ENVIRONMENT "NV_XVFB_DISPLAY=${NV_XVFB_DISPLAY}")
  set_tests_properties(wine_cleanup PROPERTIES FIXTURES_CLEANUP wine ENVIRONMENT "NV_XVFB_DISPLAY=${NV_XVFB_DISPLAY}")
  # CTest runs test programs through the emulator with this environment.
  set(NV_TEST_ENV "WINEPREFIX=${NV_WINEPREFIX}" "WINEARCH=win64" "WINEDEBUG=-all"
                  "WINEDLLOVERRIDES=mscoree,mshtml=" "DISPLAY=${NV_XVFB_DISPLAY}" "NV_XVFB_DISPLAY=${NV_XVFB_DISPLAY}")
endif()

# nv_add_wine_fixture(NAME PREFIX ENV_VAR): a Wine prefix of its own for a long test, so it need
# not wait for the tests that share the main prefix's registry.  Fixture NAME boots PREFIX once
# the "wine" fixture has started the Xvfb display (Wine's desktop process keeps the display it
# saw at boot), and stops the prefix's wineserver before the "wine" cleanup stops that display;
# tests that use it require both fixtures.  ENV_VAR receives NV_TEST_ENV with PREFIX in it.
function(nv_add_wine_fixture name prefix env_var)
  add_test(NAME ${name}_setup COMMAND ${NV_TOOLS_DIR}/wine-fixture.sh setup ${prefix})
  add_test(NAME ${name}_cleanup COMMAND ${NV_TOOLS_DIR}/wine-fixture.sh cleanup ${prefix})
  set_tests_properties(${name}_setup PROPERTIES FIXTURES_SETUP ${name} FIXTURES_REQUIRED wine
                                                ENVIRONMENT "NV_XVFB_DISPLAY=${NV_XVFB_DISPLAY}")
  set_tests_properties(${name}_cleanup PROPERTIES FIXTURES_CLEANUP ${name} FIXTURES_REQUIRED wine
                                                  ENVIRONMENT "NV_XVFB_DISPLAY=${NV_XVFB_DISPLAY}")
  set(env ${NV_TEST_ENV})
  list(TRANSFORM env REPLACE "^WINEPREFIX=.*$" "WINEPREFIX=${prefix}")
  set(${env_var} ${env} PARENT_SCOPE)
endfunction()

function(nv_add_test)
  cmake_parse_arguments(ARG "WIN32_ONLY;HOST_ONLY;OWN_DISPLAY" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  if(ARG_WIN32_ONLY AND NOT WIN32)
    return()
  endif()
  if(ARG_HOST_ONLY AND CMAKE_CROSSCOMPILING)
    return()
  endif()
  add_executable(${ARG_NAME} ${ARG_SOURCES})
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBS} GTest::gtest_main GTest::gtest)
  if(ARG_OWN_DISPLAY AND CMAKE_CROSSCOMPILING)
    add_test(NAME ${ARG_NAME} COMMAND bash ${NV_TOOLS_DIR}/own-display.sh ${CMAKE_CROSSCOMPILING_EMULATOR}
                                      $<TARGET_FILE:${ARG_NAME}>)
  else()
    add_test(NAME ${ARG_NAME} COMMAND ${ARG_NAME})
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  set(env ${ARG_ENV})
  if(CMAKE_CROSSCOMPILING)
    list(APPEND env ${NV_TEST_ENV})
    set_tests_properties(${ARG_NAME} PROPERTIES FIXTURES_REQUIRED wine)
  endif()
  set(labels ${ARG_LABELS})
  if(ARG_OWN_DISPLAY)
    list(APPEND labels screenshots)
  endif()
  set_tests_properties(${ARG_NAME} PROPERTIES TIMEOUT ${ARG_TIMEOUT} ENVIRONMENT "${env}" LABELS "${labels}")
endfunction()

# Every tests/<name>_test.cpp becomes the test program <prefix>_<name>; files in
# tests/win32/ are built only for Windows, files in tests/posix/ only natively.
# Shared test helpers go in tests/support/*.cpp.  OWN_DISPLAY names the <name>s
# that take screenshots (see nv_add_test).
function(nv_add_tests_from_glob)
  cmake_parse_arguments(ARG "" "PREFIX;DIR" "LIBS;OWN_DISPLAY" ${ARGN})
  if(NOT BUILD_TESTING)
    return()
  endif()
  set(dir ${CMAKE_CURRENT_SOURCE_DIR}/${ARG_DIR})
  file(GLOB tests CONFIGURE_DEPENDS ${dir}/*_test.cpp)
  if(WIN32)
    file(GLOB extra CONFIGURE_DEPENDS ${dir}/win32/*_test.cpp)
  else()
    file(GLOB extra CONFIGURE_DEPENDS ${dir}/posix/*_test.cpp)
  endif()
  file(GLOB support CONFIGURE_DEPENDS ${dir}/support/*.cpp)
  foreach(src IN LISTS tests extra)
    get_filename_component(stem ${src} NAME_WE)
    string(REGEX REPLACE "_test$" "" stem ${stem})
    set(display)
    if(stem IN_LIST ARG_OWN_DISPLAY)
      set(display OWN_DISPLAY)
    endif()
    nv_add_test(NAME ${ARG_PREFIX}_${stem} SOURCES ${src} ${support} LIBS ${ARG_LIBS} ${display})
    target_include_directories(${ARG_PREFIX}_${stem} PRIVATE ${dir})
  endforeach()
endfunction()
