# One interface target carries the compile options every Scenemark target uses,
# so nothing is set globally and third-party code keeps its own flags.
add_library(scenemark_options INTERFACE)
target_compile_features(scenemark_options INTERFACE cxx_std_20)
target_compile_options(scenemark_options INTERFACE -Wall -Wextra -Werror)
target_include_directories(scenemark_options INTERFACE ${PROJECT_SOURCE_DIR})

if(SCENEMARK_SANITIZE)
  target_compile_options(scenemark_options INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(scenemark_options INTERFACE -fsanitize=address,undefined)
endif()

# Executables of a sanitizer build carry the leak checker's suppressions.
function(scenemark_sanitizer_suppressions target)
  if(SCENEMARK_SANITIZE)
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/lsan_suppressions.cpp)
  endif()
endfunction()

# Fuzzing instruments every library for coverage and runs it under ASan and
# UBSan; only the fuzz targets link libFuzzer itself.
if(SCENEMARK_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "SCENEMARK_FUZZ needs clang: CC=clang CXX=clang++ cmake ...")
  endif()
  target_compile_options(scenemark_options INTERFACE
    -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(scenemark_options INTERFACE -fsanitize=address,undefined)
endif()

# scenemark_add_library(name SOURCES ... [DEPS ...])
function(scenemark_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_link_libraries(${name} PUBLIC scenemark_options ${ARG_PUBLIC_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
endfunction()
