# libjpeg: Debian's for the native build, our static MinGW build (made by scripts/bootstrap) for Windows.
add_library(lumar_jpeg INTERFACE)
if(LUMAR_IS_WINDOWS)
  set(LUMAR_JPEG_PREFIX ${CMAKE_SOURCE_DIR}/build/deps/libjpeg-mingw CACHE PATH "MinGW libjpeg-turbo")
  if(NOT EXISTS ${LUMAR_JPEG_PREFIX}/lib/libjpeg.a)
    message(FATAL_ERROR "No MinGW libjpeg at ${LUMAR_JPEG_PREFIX} (lib/libjpeg.a): run scripts/bootstrap first, "
                        "or on Windows set LUMAR_JPEG_PREFIX to MSYS2's mingw64 folder")
  endif()
  target_include_directories(lumar_jpeg SYSTEM INTERFACE ${LUMAR_JPEG_PREFIX}/include)
  target_link_libraries(lumar_jpeg INTERFACE ${LUMAR_JPEG_PREFIX}/lib/libjpeg.a)
else()
  find_package(JPEG REQUIRED)
  target_link_libraries(lumar_jpeg INTERFACE JPEG::JPEG)
endif()
