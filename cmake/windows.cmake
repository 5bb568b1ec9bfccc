# Windows build: the Windows shell (lumar_win), lumar.scr, and the in-process tests run under Wine
# (label wine). Everything is linked statically so lumar.scr needs only system DLLs.
enable_language(RC)
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
set(CMAKE_EXE_LINKER_FLAGS "${CMAKE_EXE_LINKER_FLAGS} -static")
# The same sources give the same bytes: no link time in the file header.
if(MINGW)
  set(CMAKE_EXE_LINKER_FLAGS "${CMAKE_EXE_LINKER_FLAGS} -Wl,--no-insert-timestamp")
  set(CMAKE_SHARED_LINKER_FLAGS "${CMAKE_SHARED_LINKER_FLAGS} -Wl,--no-insert-timestamp")
  set(CMAKE_MODULE_LINKER_FLAGS "${CMAKE_MODULE_LINKER_FLAGS} -Wl,--no-insert-timestamp")
endif()

# Windows' known DLLs, which the loader always takes from the system folder: lumar.scr imports these.
set(LUMAR_SYSTEM_LIBS gdi32 user32 advapi32 comdlg32 shell32 kernel32)
# The others: the tests import them; lumar.scr delay-loads them from the system folder only
# (src/platform/system_libraries_win32.h).
set(LUMAR_DELAYED_LIBS d3d9 winmm comctl32)

if(LUMAR_WIN_SOURCES)
  add_library(lumar_win STATIC ${LUMAR_WIN_SOURCES})
  target_compile_options(lumar_win PRIVATE ${LUMAR_WARNINGS})
  target_link_libraries(lumar_win PUBLIC lumar_core ${LUMAR_SYSTEM_LIBS})
endif()

# The resources (dialog, bitmap, pictures) as objects, linked into lumar.scr and the Windows tests.
add_library(lumar_resources OBJECT ${CMAKE_SOURCE_DIR}/resources/lumar.rc)
# lumar_version.h: the version numbers of VERSION for the version resource, and its text: VERSION, or a
# pre-release of it such as 1.0.1-dev.202612101130 (scripts/package --snapshot sets LUMAR_PRERELEASE).
# lumar.manifest: the application manifest, whose assembly version is the numbers'.
set(LUMAR_PRERELEASE "" CACHE STRING "A pre-release label (dev.<digits>) for lumar.scr's version text")
set(LUMAR_VERSION_TEXT "${PROJECT_VERSION}")
if(LUMAR_PRERELEASE MATCHES "^dev\\.[1-9][0-9]*$")
  set(LUMAR_VERSION_TEXT "${PROJECT_VERSION}-${LUMAR_PRERELEASE}")
elseif(NOT LUMAR_PRERELEASE STREQUAL "")
  message(FATAL_ERROR "LUMAR_PRERELEASE '${LUMAR_PRERELEASE}' is not dev.<digits>")
endif()
configure_file(${CMAKE_SOURCE_DIR}/resources/lumar_version.h.in ${CMAKE_BINARY_DIR}/generated/lumar_version.h @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/resources/lumar.manifest.in ${CMAKE_BINARY_DIR}/generated/lumar.manifest @ONLY)
target_include_directories(lumar_resources PRIVATE ${CMAKE_BINARY_DIR}/generated ${CMAKE_SOURCE_DIR}/resources)
file(GLOB LUMAR_RESOURCE_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*)
set_source_files_properties(
  ${CMAKE_SOURCE_DIR}/resources/lumar.rc
  PROPERTIES OBJECT_DEPENDS "${LUMAR_RESOURCE_FILES};${CMAKE_BINARY_DIR}/generated/lumar_version.h;${CMAKE_BINARY_DIR}/generated/lumar.manifest")

# Delay-load import libraries of LUMAR_DELAYED_LIBS, from the lists of what lumar.scr calls in
# cmake/delayload/ (a call missing there fails the link of lumar.scr).
set(LUMAR_DELAY_LIBS "")
if(MINGW)
  find_program(LUMAR_DLLTOOL NAMES x86_64-w64-mingw32-dlltool dlltool REQUIRED)
  foreach(library IN LISTS LUMAR_DELAYED_LIBS)
    set(def ${CMAKE_SOURCE_DIR}/cmake/delayload/${library}.def)
    set(archive ${CMAKE_BINARY_DIR}/delayload/lib${library}_delay.a)
    add_custom_command(OUTPUT ${archive}
                       COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/delayload
                       COMMAND ${LUMAR_DLLTOOL} --input-def ${def} --output-delaylib ${archive}
                       WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/delayload DEPENDS ${def} VERBATIM)
    list(APPEND LUMAR_DELAY_LIBS ${archive})
  endforeach()
  add_custom_target(lumar_delay_libs DEPENDS ${LUMAR_DELAY_LIBS})
endif()

# lumar.scr: the entry point, the shell, the core and the resources; a GUI program that imports only
# Windows' known DLLs. lumar.map, the linker's map, names every library linked in (scripts/package writes
# THIRD-PARTY-NOTICES.txt from it).
function(lumar_add_saver target folder resources)
  add_executable(${target} WIN32 ${LUMAR_WIN_ENTRY_SOURCES} $<TARGET_OBJECTS:${resources}>)
  set_target_properties(${target} PROPERTIES OUTPUT_NAME lumar SUFFIX .scr
                                             RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/${folder})
  target_compile_options(${target} PRIVATE ${LUMAR_WARNINGS})
  target_link_libraries(${target} PRIVATE lumar_win)
  if(MINGW)
    add_dependencies(${target} lumar_delay_libs)
    target_link_libraries(${target} PRIVATE ${LUMAR_DELAY_LIBS})
    target_link_options(${target} PRIVATE -Wl,-Map=${CMAKE_BINARY_DIR}/${folder}/lumar.map)
  endif()
endfunction()
if(LUMAR_WIN_ENTRY_SOURCES)
  lumar_add_saver(lumar_scr . lumar_resources)
endif()

# The Windows tests run under Wine on Linux: built when cross-compiling (the windows preset), not in a
# build on Windows itself, which makes lumar.scr alone.
option(LUMAR_WINDOWS_TESTS "Build the Windows tests (run under Wine)" ${CMAKE_CROSSCOMPILING})
if(NOT LUMAR_WINDOWS_TESTS)
  return()
endif()

# The same program carrying an older version (build/older/lumar.scr), for the setup's upgrade and
# downgrade tests: a function, so that the older numbers stay inside it.
function(lumar_add_older_saver)
  math(EXPR older_patch "${PROJECT_VERSION_PATCH} - 1")
  math(EXPR older_minor "${PROJECT_VERSION_MINOR} - 1")
  math(EXPR older_major "${PROJECT_VERSION_MAJOR} - 1")
  if(PROJECT_VERSION_PATCH GREATER 0)
    set(older "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${older_patch}")
  elseif(PROJECT_VERSION_MINOR GREATER 0)
    set(older "${PROJECT_VERSION_MAJOR}.${older_minor}.99")
  else()
    set(older "${older_major}.99.99")
  endif()
  string(REPLACE "." ";" older_parts ${older})
  list(GET older_parts 0 PROJECT_VERSION_MAJOR)
  list(GET older_parts 1 PROJECT_VERSION_MINOR)
  list(GET older_parts 2 PROJECT_VERSION_PATCH)
  set(PROJECT_VERSION ${older})
  set(LUMAR_VERSION_TEXT ${older})
  configure_file(${CMAKE_SOURCE_DIR}/resources/lumar_version.h.in ${CMAKE_BINARY_DIR}/older/generated/lumar_version.h @ONLY)
  configure_file(${CMAKE_SOURCE_DIR}/resources/lumar.manifest.in ${CMAKE_BINARY_DIR}/older/generated/lumar.manifest @ONLY)
  add_library(lumar_resources_older OBJECT ${CMAKE_SOURCE_DIR}/resources/lumar.rc)
  target_include_directories(lumar_resources_older PRIVATE ${CMAKE_BINARY_DIR}/older/generated
                                                           ${CMAKE_SOURCE_DIR}/resources)
  lumar_add_saver(lumar_scr_older older lumar_resources_older)
endfunction()
if(LUMAR_WIN_ENTRY_SOURCES)
  lumar_add_older_saver()
endif()

# GoogleTest from its sources (Debian ships them in /usr/src/googletest).
set(LUMAR_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest's sources")
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${LUMAR_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

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
    target_link_libraries(${target} PRIVATE lumar_win ${LUMAR_DELAYED_LIBS} gtest gtest_main gmock)
    # The committed test pictures, read through Wine's drive Z: (the Linux root).
    target_compile_definitions(${target} PRIVATE LUMAR_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
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

# The AVX2 code confined to the frame engine's AVX2 kernels in the shipped program.
if(TARGET lumar_scr)
  add_test(NAME avx2_confined_scr COMMAND ${CMAKE_SOURCE_DIR}/tests/wavefield/avx2_confined_check.sh
                                          ${CMAKE_OBJDUMP} $<TARGET_FILE:lumar_scr>)
  set_tests_properties(avx2_confined_scr PROPERTIES LABELS wine)
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
  target_link_libraries(${name} PRIVATE lumar_win ${LUMAR_DELAYED_LIBS})
endforeach()
# A library planted beside a copy of lumar.scr, as d3d9.dll and winmm.dll (release_files_e2e.sh).
foreach(name d3d9 winmm)
  add_library(planted_${name} MODULE ${CMAKE_SOURCE_DIR}/tests/e2e/planted_library.cpp)
  set_target_properties(planted_${name} PROPERTIES PREFIX "" OUTPUT_NAME ${name} SUFFIX .dll
                                                   LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/planted)
  target_compile_options(planted_${name} PRIVATE ${LUMAR_WARNINGS})
  target_link_options(planted_${name} PRIVATE -static)
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

# Entries that run a test program with a GoogleTest filter pass only when the filter selected at least one
# test and none failed: a filter that selects nothing would otherwise pass with exit code 0. With a pass
# expression CTest ignores the exit code, so the failure expression also catches a non-zero one (wine-run
# reports it).
set(LUMAR_GTEST_RAN "\\[  PASSED  \\] [1-9][0-9]* tests?\\.")
set(LUMAR_GTEST_FAILED "\\[  FAILED  \\]|SKIPPED|ended with exit code")
# The expressions themselves: the summary of a filter that selected nothing must not pass.
add_test(NAME gtest_filter_selecting_nothing_fails
         COMMAND ${CMAKE_COMMAND} -E echo "[==========] 0 tests from 0 test suites ran. [  PASSED  ] 0 tests.")
set_tests_properties(gtest_filter_selecting_nothing_fails PROPERTIES PASS_REGULAR_EXPRESSION "${LUMAR_GTEST_RAN}"
                     WILL_FAIL TRUE)
add_test(NAME gtest_filter_selecting_one_passes
         COMMAND ${CMAKE_COMMAND} -E echo "[==========] 1 test from 1 test suite ran. [  PASSED  ] 1 test.")
set_tests_properties(gtest_filter_selecting_one_passes PROPERTIES PASS_REGULAR_EXPRESSION "${LUMAR_GTEST_RAN}"
                     FAIL_REGULAR_EXPRESSION "${LUMAR_GTEST_FAILED}")

# The configuration dialog on a desktop scaled to 150 %, in a session of its own.
if(TARGET config_win32_tests)
  add_test(NAME config_dialog_at_144_dpi
           COMMAND env LUMAR_LOG_PIXELS=144 LUMAR_EXPECT_DPI=144
                   LUMAR_WINE_SESSION=${CMAKE_BINARY_DIR}/no-shared-session ${CMAKE_SOURCE_DIR}/scripts/wine-run
                   $<TARGET_FILE:config_win32_tests> --gtest_filter=*AtTheScreensDpi*)
  set_tests_properties(config_dialog_at_144_dpi PROPERTIES LABELS wine RESOURCE_LOCK wine_session TIMEOUT 300
                       PASS_REGULAR_EXPRESSION "${LUMAR_GTEST_RAN}" FAIL_REGULAR_EXPRESSION "${LUMAR_GTEST_FAILED}")
endif()

# The preview on a desktop scaled to 150 %, in a session of its own.
if(TARGET host_win32_tests)
  add_test(NAME preview_at_144_dpi
           COMMAND env LUMAR_LOG_PIXELS=144 LUMAR_EXPECT_DPI=144
                   LUMAR_WINE_SESSION=${CMAKE_BINARY_DIR}/no-shared-session ${CMAKE_SOURCE_DIR}/scripts/wine-run
                   $<TARGET_FILE:host_win32_tests> --gtest_filter=*AtTheScreensDpi*)
  set_tests_properties(preview_at_144_dpi PROPERTIES LABELS wine RESOURCE_LOCK wine_session TIMEOUT 300
                       PASS_REGULAR_EXPRESSION "${LUMAR_GTEST_RAN}" FAIL_REGULAR_EXPRESSION "${LUMAR_GTEST_FAILED}")
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
                         PASS_REGULAR_EXPRESSION "${LUMAR_GTEST_RAN}"
                         FAIL_REGULAR_EXPRESSION "${LUMAR_GTEST_FAILED}" TIMEOUT 900
                         ENVIRONMENT LUMAR_TEST_DEADLINE=850)
  endforeach()
endif()

# The saver of the long run (scripts/soak): lumar.scr's program over the fault-injection doubles, which
# force a device loss every 30 s and count the live objects. A test program; never shipped.
if(TARGET lumar_scr)
  add_executable(lumar_soak ${CMAKE_SOURCE_DIR}/tests/soak/soak_saver_win32.cpp $<TARGET_OBJECTS:lumar_resources>)
  target_compile_options(lumar_soak PRIVATE ${LUMAR_WARNINGS})
  target_include_directories(lumar_soak PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(lumar_soak PRIVATE lumar_win ${LUMAR_DELAYED_LIBS})
endif()
