# Shared build settings for every target of the project.

set(TESSEL_WARNINGS -Wall -Wextra -Werror)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  # g++ 12 at -O2 reports out-of-bounds and overlapping copies inside libstdc++'s inlined
  # vector and string copies where there are none; keep them visible but not fatal.
  list(APPEND TESSEL_WARNINGS -Wno-error=array-bounds -Wno-error=restrict -Wno-error=stringop-overflow)
endif()

if(TESSEL_FUZZ)
  # The fuzz targets share the sanitizer build: its libraries carry coverage for them.
  set(TESSEL_SANITIZE ON)
  set(TESSEL_COVERAGE -fsanitize=fuzzer-no-link)
endif()

if(TESSEL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    # JavaScriptCore, built without type information, calls libstdc++ code that our programs
    # instantiate; clang's vptr check would misfire there.
    add_compile_options(-fno-sanitize=vptr)
  endif()
endif()

# tessel_library(name SOURCES ... [DEPS ...])
function(tessel_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${TESSEL_WARNINGS} ${TESSEL_COVERAGE})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# tessel_test(name LABEL unit|sim|gui|slow SOURCES ... [DEPS ...])
# Each test program is registered with CTest as one test per GoogleTest case.
function(tessel_test name)
  cmake_parse_arguments(ARG "" "LABEL" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  # Test code is compiled without optimisation: its run time is spent in the libraries under
  # test, which keep the build's level, and optimising it would double the build.
  target_compile_options(${name} PRIVATE ${TESSEL_WARNINGS} -O0)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main Threads::Threads)
  if(NOT ARG_LABEL)
    set(ARG_LABEL unit)
  endif()
  set(extra_properties)
  if(ARG_LABEL STREQUAL "gui")
    # Programs that open windows run on a private Xvfb screen when there is no display, one at a
    # time since each starts its own X server.
    set_target_properties(${name} PROPERTIES
      CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/scripts/with-display.sh)
    set(extra_properties RESOURCE_LOCK xvfb)
  endif()
  gtest_discover_tests(${name} PROPERTIES LABELS ${ARG_LABEL} ${extra_properties} DISCOVERY_TIMEOUT 60)
endfunction()

# tessel_fuzz(name SOURCES ... DEPS ...)
function(tessel_fuzz name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${TESSEL_COVERAGE})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
endfunction()

# tessel_bench(name SOURCES ... DEPS ...)
function(tessel_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  find_package(benchmark REQUIRED)
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${TESSEL_WARNINGS})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} benchmark::benchmark Threads::Threads)
endfunction()

