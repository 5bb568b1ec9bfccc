# Windows build: the Windows shell (lumar_win), lumar.scr, and the in-process tests run under Wine
# (label wine). Everything is linked statically so lumar.scr needs only system DLLs.
enable_language(RC)
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
set(CMAKE_EXE_LINKER_FLAGS "${CMAKE_EXE_LINKER_FLAGS} -static")

set(LUMAR_SYSTEM_LIBS d3d9 winmm gdi32 user32 advapi32 comctl32 comdlg32 shell32 kernel32)

if(LUMAR_WIN_SOURCES)
  add_library(lumar_win STATIC ${LUMAR_WIN_SOURCES})
  target_compile_options(lumar_win PRIVATE ${LUMAR_WARNINGS})
  target_link_libraries(lumar_win PUBLIC lumar_core ${LUMAR_SYSTEM_LIBS})
endif()

# The resources (dialog, bitmap, pictures) as objects, linked into lumar.scr and the Windows tests.
add_library(lumar_resources OBJECT ${CMAKE_SOURCE_DIR}/resources/lumar.rc)
# lumar_version.h: the version numbers of VERSION for the version resource.
configure_file(${CMAKE_SOURCE_DIR}/resources/lumar_version.h.in ${CMAKE_BINARY_DIR}/generated/lumar_version.h @ONLY)
target_include_directories(lumar_resources PRIVATE ${CMAKE_SOURCE_DIR}/resources ${CMAKE_BINARY_DIR}/generated)
file(GLOB LUMAR_RESOURCE_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*)
set_source_files_properties(
  ${CMAKE_SOURCE_DIR}/resources/lumar.rc
  PROPERTIES OBJECT_DEPENDS "${LUMAR_RESOURCE_FILES};${CMAKE_BINARY_DIR}/generated/lumar_version.h")

# GoogleTest from the sources Debian ships.
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# One Wine session (private Xvfb, cloned prefix, warm wineserver) for all Windows tests of a CTest run.
add_test(NAME wine_session_start COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-session start)
add_test(NAME wine_session_stop COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-session stop)
set_tests_properties(wine_session_start PROPERTIES FIXTURES_SETUP wine LABELS wine)
set_tests_properties(wine_session_stop PROPERTIES FIXTURES_CLEANUP wine LABELS wine)

foreach(folder IN LISTS LUMAR_SRC_FOLDERS)
  lumar_collect_tests(${folder} native_tests win_tests)
  if(win_tests)
    set(target ${folder}_win32_tests)
    add_executable(${target} ${win_tests} $<TARGET_OBJECTS:lumar_resources>)
    target_compile_options(${target} PRIVATE ${LUMAR_WARNINGS})
    target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR}/resources)
    target_link_libraries(${target} PRIVATE lumar_win gtest gtest_main gmock)
    gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                         PROPERTIES LABELS wine FIXTURES_REQUIRED wine
                                    # one registry, one display: Windows tests take turns
                                    RESOURCE_LOCK wine_session)
  endif()
endforeach()

# Stand-ins for the system's password libraries, loaded by name by the host tests: PASSWORD.CPL beside
# the test program, and MPR.DLL with and without PwdChangePasswordA in folders of their own, for child
# test processes that are told to prefer them over the system's.
function(lumar_test_library target source file_name folder)
  add_library(${target} MODULE ${CMAKE_SOURCE_DIR}/tests/host/doubles/${source})
  get_filename_component(base ${file_name} NAME_WE)
  get_filename_component(suffix ${file_name} LAST_EXT)
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${base} SUFFIX ${suffix}
                                             LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/${folder})
  target_compile_options(${target} PRIVATE ${LUMAR_WARNINGS})
  target_link_options(${target} PRIVATE -static)
  add_dependencies(host_win32_tests ${target})
endfunction()
if(TARGET host_win32_tests)
  lumar_test_library(password_cpl_double password_cpl_double.cpp PASSWORD.CPL .)
  lumar_test_library(mpr_double mpr_double.cpp MPR.DLL mpr_double)
  lumar_test_library(mpr_double_without_change mpr_double.cpp MPR.DLL mpr_double_without_change)
  target_compile_definitions(mpr_double_without_change PRIVATE MPR_DOUBLE_WITHOUT_CHANGE)
endif()

# lumar.scr: the entry point, the shell, the core and the resources; a GUI program that needs only
# system DLLs.
if(LUMAR_WIN_ENTRY_SOURCES)
  add_executable(lumar_scr WIN32 ${LUMAR_WIN_ENTRY_SOURCES} $<TARGET_OBJECTS:lumar_resources>)
  set_target_properties(lumar_scr PROPERTIES OUTPUT_NAME lumar SUFFIX .scr)
  target_compile_options(lumar_scr PRIVATE ${LUMAR_WARNINGS})
  target_link_libraries(lumar_scr PRIVATE lumar_win)
endif()

# End-to-end runs of lumar.scr (label e2e): tests/e2e/*_e2e.sh, each with its own Xvfb and prefix.
# They share the CPU-heavy software renderer with the other Windows tests, so they take turns.
file(GLOB LUMAR_E2E_SCRIPTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/*_e2e.sh)
# Helper programs the scripts run (a control-panel stand-in and the like): tests/e2e/*_tool.cpp.
file(GLOB LUMAR_E2E_TOOLS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/*_tool.cpp)
foreach(source IN LISTS LUMAR_E2E_TOOLS)
  get_filename_component(name ${source} NAME_WE)
  add_executable(${name} ${source})
  target_compile_options(${name} PRIVATE ${LUMAR_WARNINGS})
  target_link_libraries(${name} PRIVATE lumar_win)
endforeach()
# The stand-in Xinerama library for the several-monitor runs: a Linux library for Wine's X11 driver, so it
# is built with the machine's own C compiler, not the cross compiler.
find_program(LUMAR_HOST_CC NAMES cc gcc REQUIRED)
set(LUMAR_XINERAMA_STANDIN ${CMAKE_BINARY_DIR}/xinerama/libXinerama.so.1)
add_custom_command(OUTPUT ${LUMAR_XINERAMA_STANDIN}
                   COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/xinerama
                   COMMAND ${LUMAR_HOST_CC} -shared -fPIC -O2 -Wall -Wextra -Werror -o ${LUMAR_XINERAMA_STANDIN}
                           ${CMAKE_SOURCE_DIR}/tests/e2e/xinerama/xinerama_standin.c
                   DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/xinerama/xinerama_standin.c VERBATIM)
add_custom_target(xinerama_standin ALL DEPENDS ${LUMAR_XINERAMA_STANDIN})

if(TARGET lumar_scr)
  foreach(script IN LISTS LUMAR_E2E_SCRIPTS)
    get_filename_component(name ${script} NAME_WE)
    add_test(NAME ${name} COMMAND ${CMAKE_SOURCE_DIR}/tests/e2e/retry_once.sh ${script})
    set_tests_properties(${name} PROPERTIES LABELS e2e RESOURCE_LOCK wine_session TIMEOUT 600
                         ENVIRONMENT "E2E_SCR=$<TARGET_FILE:lumar_scr>;E2E_TOOLS=${CMAKE_BINARY_DIR}")
  endforeach()
endif()

# The configuration dialog on a desktop scaled to 150 %, in a session of its own.
if(TARGET config_win32_tests)
  add_test(NAME config_dialog_at_144_dpi
           COMMAND env LUMAR_LOG_PIXELS=144 LUMAR_EXPECT_DPI=144
                   LUMAR_WINE_SESSION=${CMAKE_BINARY_DIR}/no-shared-session ${CMAKE_SOURCE_DIR}/scripts/wine-run
                   $<TARGET_FILE:config_win32_tests> --gtest_filter=*AtTheScreensDpi*)
  set_tests_properties(config_dialog_at_144_dpi PROPERTIES LABELS wine RESOURCE_LOCK wine_session TIMEOUT 300)
endif()

# The preview on a desktop scaled to 150 %, in a session of its own.
if(TARGET host_win32_tests)
  add_test(NAME preview_at_144_dpi
           COMMAND env LUMAR_LOG_PIXELS=144 LUMAR_EXPECT_DPI=144
                   LUMAR_WINE_SESSION=${CMAKE_BINARY_DIR}/no-shared-session ${CMAKE_SOURCE_DIR}/scripts/wine-run
                   $<TARGET_FILE:host_win32_tests> --gtest_filter=*AtTheScreensDpi*)
  set_tests_properties(preview_at_144_dpi PROPERTIES LABELS wine RESOURCE_LOCK wine_session TIMEOUT 300)
endif()

# Tests that need a larger screen than the shared session's: each runs in a private session of its own
# size (wine-run starts one when LUMAR_WINE_SESSION names no running session). The tests skip themselves
# on any other screen, so a skip here is a failure.
if(TARGET render_win32_tests)
  foreach(screen 1280x1024 3840x2160)
    add_test(NAME render_large_screen_${screen}
             COMMAND env LUMAR_SCREEN=${screen}x24 LUMAR_WINE_SESSION=${CMAKE_BINARY_DIR}/no-shared-session
                     ${CMAKE_SOURCE_DIR}/scripts/wine-run $<TARGET_FILE:render_win32_tests>
                     --gtest_filter=*LargeScreen*)
    set_tests_properties(render_large_screen_${screen} PROPERTIES LABELS wine RESOURCE_LOCK wine_session
                         FAIL_REGULAR_EXPRESSION "SKIPPED" TIMEOUT 900)
  endforeach()
endif()
