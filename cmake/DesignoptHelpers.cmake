# One helper per repeated shape: a subsystem library, a unit test beside its source,
# and a benchmark.

# designopt_library(NAME SOURCES ... DEPENDS ...)
# A subsystem library; its DEPENDS list is the subsystem's honest list of dependencies.
function(designopt_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  if(ARG_DEPENDS)
    target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
  endif()
endfunction()

# designopt_test(NAME SOURCES ... DEPENDS ...)
# A GoogleTest executable whose cases ctest discovers when it runs them.
function(designopt_test name)
  if(NOT DESIGNOPT_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPENDS} GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST)
endfunction()

# designopt_benchmark(NAME SOURCES ... DEPENDS ...)
# A Google Benchmark executable; built with the project, run by hand (see docs/performance.md).
function(designopt_benchmark name)
  if(NOT DESIGNOPT_BUILD_BENCHMARKS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPENDS} benchmark::benchmark benchmark::benchmark_main)
endfunction()
