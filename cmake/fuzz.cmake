# Fuzz targets: each fuzz/<name>_fuzzer.cpp is a libFuzzer entry point over the portable core.
#   LUMAR_FUZZ_ENGINE=replay (default): linked with fuzz/replay_main.cpp, which runs the entry point on
#     the files it is given; any compiler, so every native build compiles and links the targets.
#   LUMAR_FUZZ_ENGINE=libfuzzer (clang; scripts/fuzz-loader, scripts/fuzz-records): linked with
#     libFuzzer, the core instrumented for its coverage.
set(LUMAR_FUZZ_ENGINE replay CACHE STRING "How the fuzz targets are driven: replay or libfuzzer")
set_property(CACHE LUMAR_FUZZ_ENGINE PROPERTY STRINGS replay libfuzzer)

if(LUMAR_FUZZ_ENGINE STREQUAL "libfuzzer")
  target_compile_options(lumar_core PUBLIC -fsanitize=fuzzer-no-link)
endif()

file(GLOB LUMAR_FUZZ_TARGETS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/fuzz/*_fuzzer.cpp)
foreach(source IN LISTS LUMAR_FUZZ_TARGETS)
  get_filename_component(name ${source} NAME_WE)
  if(LUMAR_FUZZ_ENGINE STREQUAL "libfuzzer")
    add_executable(${name} ${source})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  else()
    add_executable(${name} ${source} ${CMAKE_SOURCE_DIR}/fuzz/replay_main.cpp)
  endif()
  target_compile_options(${name} PRIVATE ${LUMAR_WARNINGS})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE lumar_core)
endforeach()

# The stored-record fuzzer's seeds as files.
add_executable(stored_record_seeds ${CMAKE_SOURCE_DIR}/fuzz/stored_record_seeds_main.cpp)
target_compile_options(stored_record_seeds PRIVATE ${LUMAR_WARNINGS})
target_include_directories(stored_record_seeds PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(stored_record_seeds PRIVATE lumar_core)
