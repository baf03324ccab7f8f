# Native build: the core and its unit tests, under AddressSanitizer and UBSan by default.
option(TAVREL_SANITIZE "Build the native tests with ASan and UBSan" ON)
if(TAVREL_SANITIZE)
  set(san -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_compile_options(tavrel_core PRIVATE ${san})
  target_link_options(tavrel_core INTERFACE ${san})
endif()

find_package(GTest REQUIRED)
include(GoogleTest)

file(GLOB UNIT_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
file(GLOB TEST_SUPPORT_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/*.cpp)
add_executable(unit_tests ${UNIT_TEST_SOURCES} ${TEST_SUPPORT_SOURCES})
target_link_libraries(unit_tests PRIVATE tavrel_core GTest::gtest_main)
if(TAVREL_SANITIZE)
  target_compile_options(unit_tests PRIVATE ${san})
endif()
gtest_discover_tests(unit_tests
  PROPERTIES LABELS unit
  DISCOVERY_TIMEOUT 60)

# The core/Win32 boundary, checked as a test as well as by this build.
add_test(NAME core_includes_no_windows_header
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/check-core-boundary.sh ${CMAKE_SOURCE_DIR})
set_tests_properties(core_includes_no_windows_header PROPERTIES LABELS unit)

if(EXISTS ${CMAKE_SOURCE_DIR}/tests/fuzz/CMakeLists.txt)
  add_subdirectory(tests/fuzz)
endif()
if(EXISTS ${CMAKE_SOURCE_DIR}/bench/CMakeLists.txt)
  add_subdirectory(bench)
endif()
