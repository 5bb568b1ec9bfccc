# Native build: unit tests of the portable core (label native) and the benchmarks.
find_package(GTest REQUIRED)

foreach(folder IN LISTS LUMAR_SRC_FOLDERS)
  lumar_collect_tests(${folder} native_tests win_tests)
  if(native_tests)
    set(target ${folder}_tests)
    add_executable(${target} ${native_tests})
    target_compile_options(${target} PRIVATE ${LUMAR_WARNINGS})
    target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
    target_link_libraries(${target} PRIVATE lumar_core GTest::gtest GTest::gtest_main GTest::gmock)
    target_compile_definitions(${target} PRIVATE LUMAR_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
    gtest_discover_tests(${target} PROPERTIES LABELS native DISCOVERY_TIMEOUT 30)
  endif()
endforeach()

# The release scripts' rules (scripts/package, scripts/check-winget), checked without a build: shell
# tests in tests/packaging/*_test.sh.
file(GLOB LUMAR_PACKAGING_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/packaging/*_test.sh)
foreach(script IN LISTS LUMAR_PACKAGING_TESTS)
  get_filename_component(name ${script} NAME_WE)
  add_test(NAME packaging_${name} COMMAND ${script})
  set_tests_properties(packaging_${name} PROPERTIES LABELS packaging TIMEOUT 300)
endforeach()

# Benchmarks link an optimised core without sanitizers.
file(GLOB LUMAR_BENCH_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*.cpp)
if(LUMAR_BENCH_SOURCES)
  find_package(benchmark REQUIRED)
  lumar_add_core(lumar_core_fast OFF)
  target_compile_options(lumar_core_fast PRIVATE -O2)
  add_executable(lumar_bench ${LUMAR_BENCH_SOURCES})
  target_compile_options(lumar_bench PRIVATE ${LUMAR_WARNINGS} -O2)
  target_link_libraries(lumar_bench PRIVATE lumar_core_fast benchmark::benchmark)
  # A smoke run, so a broken benchmark fails the tests: a few scenarios once each (the whole set takes
  # several seconds; run build/native/lumar_bench by hand for the figures).
  add_test(NAME bench_smoke COMMAND lumar_bench --benchmark_min_time=0 --benchmark_repetitions=1
                                    "--benchmark_filter=^(BM_|Frame/(Clipping|Kite|Tsunami)_1920x1080/|Frame/Sources70_fast_1920x1080/|FactorKernel/)")
  set_tests_properties(bench_smoke PROPERTIES LABELS native)
  # The exit status of a run that selected nothing or skipped with an error: shown failing.
  add_test(NAME bench_exit_status COMMAND ${CMAKE_SOURCE_DIR}/tests/bench/bench_exit_status_check.sh
                                          $<TARGET_FILE:lumar_bench>)
  set_tests_properties(bench_exit_status PROPERTIES LABELS native)
endif()

# Our picture generator: `cmake --build --preset native --target lumar_pictures` rewrites the built-in
# pictures in resources/ (they are committed; the output is the same on every run).
file(GLOB LUMAR_PICTURE_GENERATOR_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/picture_generator/*.cpp)
add_executable(lumar_picture_generator ${LUMAR_PICTURE_GENERATOR_SOURCES})
target_compile_options(lumar_picture_generator PRIVATE ${LUMAR_WARNINGS})
target_link_libraries(lumar_picture_generator PRIVATE lumar_core)
add_custom_target(lumar_pictures COMMAND lumar_picture_generator ${CMAKE_SOURCE_DIR}/resources
                  COMMAND lumar_picture_generator --desktop ${CMAKE_SOURCE_DIR}/docs/gallery/desktop.jpg 640 480
                  COMMENT "Drawing the built-in pictures into resources/ and the gallery's desktop" VERBATIM)
# The committed pictures are the generator's output, byte for byte (it draws the same on every run).
add_test(NAME picture_generator_reproduces_resources
         COMMAND bash -c "out=$(mktemp -d) && trap 'rm -rf $out' EXIT && \"$0\" $out >/dev/null && for f in metal.jpg sky.jpg orange_bar.jpg link_button.bmp lumar.ico; do cmp $out/$f \"$1\"/$f || exit 1; done"
                 $<TARGET_FILE:lumar_picture_generator> ${CMAKE_SOURCE_DIR}/resources)
set_tests_properties(picture_generator_reproduces_resources PROPERTIES LABELS native)
# So are the picture loader's test files (`lumar_picture_generator --test-pictures tests/platform/pictures`).
add_test(NAME picture_generator_reproduces_test_pictures
         COMMAND bash -c "out=$(mktemp -d) && trap 'rm -rf $out' EXIT && \"$0\" --test-pictures $out >/dev/null && n=0 && for f in \"$1\"/*; do cmp $out/\${f##*/} $f || exit 1; n=$((n + 1)); done && [ $n = 7 ] && [ $(ls $out | wc -l) = 7 ]"
                 $<TARGET_FILE:lumar_picture_generator> ${CMAKE_SOURCE_DIR}/tests/platform/pictures)
set_tests_properties(picture_generator_reproduces_test_pictures PROPERTIES LABELS native)
include(${CMAKE_SOURCE_DIR}/cmake/fuzz.cmake)

# The user's guide as the HTML page that ships with lumar.scr (tools/guide_to_html.py).
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_test(NAME guide_to_html COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/guide_to_html_test.py)
set_tests_properties(guide_to_html PROPERTIES LABELS native)
# The AVX2 code confined to the frame engine's AVX2 kernels, in the optimised and the sanitized core.
if(TARGET wavefield_tests)
  add_test(NAME avx2_confined COMMAND ${CMAKE_SOURCE_DIR}/tests/wavefield/avx2_confined_check.sh
                                      ${CMAKE_OBJDUMP} $<TARGET_FILE:wavefield_tests>)
  set_tests_properties(avx2_confined PROPERTIES LABELS native)
endif()
# The check itself shown failing on VEX code outside the kernels and on an aligned stack move in a Windows
# object (MinGW's assembler and objdump).
add_test(NAME avx2_confined_self_test COMMAND ${CMAKE_SOURCE_DIR}/tests/wavefield/avx2_confined_self_test.sh
                                              ${CMAKE_CXX_COMPILER} ${CMAKE_OBJDUMP} x86_64-w64-mingw32-as
                                              x86_64-w64-mingw32-objdump)
set_tests_properties(avx2_confined_self_test PROPERTIES LABELS native)
if(TARGET lumar_bench)
  add_test(NAME avx2_confined_optimised COMMAND ${CMAKE_SOURCE_DIR}/tests/wavefield/avx2_confined_check.sh
                                                ${CMAKE_OBJDUMP} $<TARGET_FILE:lumar_bench>)
  set_tests_properties(avx2_confined_optimised PROPERTIES LABELS native)
endif()
