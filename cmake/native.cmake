include(GoogleTest)

# Native build: the core and its unit tests, under AddressSanitizer and UBSan by default.
# With cmake/linux-i686.cmake: the unit tests alone, as a static 32-bit program.
# Test code is compiled without optimisation: optimising it took most of the build's time,
# and what it tests, the core, keeps the build's flags.
set(TAVREL_TEST_CODE_OPTIONS -O0)
if(CMAKE_CROSSCOMPILING)
  set(TAVREL_SANITIZE OFF)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  file(GLOB UNIT_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
  file(GLOB TEST_SUPPORT_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/*.cpp)
  add_executable(unit_tests ${UNIT_TEST_SOURCES} ${TEST_SUPPORT_SOURCES})
  target_link_libraries(unit_tests PRIVATE tavrel_core gtest_main)
  target_compile_options(unit_tests PRIVATE ${TAVREL_TEST_CODE_OPTIONS})
  target_compile_options(gtest PRIVATE ${TAVREL_TEST_CODE_OPTIONS})
  target_compile_options(gtest_main PRIVATE ${TAVREL_TEST_CODE_OPTIONS})
  gtest_discover_tests(unit_tests TEST_PREFIX "i686." PROPERTIES LABELS unit DISCOVERY_TIMEOUT 120)
  return()
endif()
find_package(GTest REQUIRED)
option(TAVREL_SANITIZE "Build the native tests with ASan and UBSan" ON)
if(TAVREL_SANITIZE)
  set(san -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_compile_options(tavrel_core PRIVATE ${san})
  target_link_options(tavrel_core INTERFACE ${san})
endif()


file(GLOB UNIT_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
file(GLOB TEST_SUPPORT_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/*.cpp)
add_executable(unit_tests ${UNIT_TEST_SOURCES} ${TEST_SUPPORT_SOURCES})
target_link_libraries(unit_tests PRIVATE tavrel_core GTest::gtest_main)
target_compile_options(unit_tests PRIVATE ${TAVREL_TEST_CODE_OPTIONS})
if(TAVREL_SANITIZE)
  target_compile_options(unit_tests PRIVATE ${san})
endif()
gtest_discover_tests(unit_tests
  PROPERTIES LABELS unit
  DISCOVERY_TIMEOUT 60)

# The ranks of the tree (no include runs upward; no Windows header in a core), checked as
# a test as well as, for the Windows headers, by this build.
add_test(NAME includes_point_down_the_ranks
  COMMAND python3 ${CMAKE_SOURCE_DIR}/scripts/check-ranks.py ${CMAKE_SOURCE_DIR})
set_tests_properties(includes_point_down_the_ranks PROPERTIES LABELS unit)

if(EXISTS ${CMAKE_SOURCE_DIR}/tests/fuzz/CMakeLists.txt)
  add_subdirectory(tests/fuzz)
endif()
if(EXISTS ${CMAKE_SOURCE_DIR}/bench/CMakeLists.txt)
  add_subdirectory(bench)
endif()
