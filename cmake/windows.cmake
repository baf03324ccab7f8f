# Cross build: the Windows program (32-bit: the product; 64-bit: the same sources, for
# machines that cannot run 32-bit code), the stand-in capture application and the
# Windows test programs, which ctest runs under Wine.
# Test code is compiled without optimisation: optimising it took most of the build's time,
# and what it tests, the Win32 layer and tavrel.exe, keeps the build's flags. (C++ only:
# a test program may hold resource scripts.)
set(TAVREL_TEST_CODE_OPTIONS $<$<COMPILE_LANGUAGE:CXX>:-O0>)
enable_language(RC)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0501 _WIN32_IE=0x0600)
# One self-contained executable: no libstdc++, libgcc or winpthread DLLs to ship.
add_link_options(-static -static-libgcc -static-libstdc++)

set(WIN32_LIBS comctl32 comdlg32 gdi32 user32 kernel32 advapi32 shell32)

# The Win32 layer, less the process entry, so that test programs can link it.
list(FILTER WIN32_SOURCES EXCLUDE REGEX "/app/win32/winmain\\.cpp$")
add_library(tavrel_win32 STATIC ${WIN32_SOURCES})
target_link_libraries(tavrel_win32 PUBLIC tavrel_core ${WIN32_LIBS})

file(GLOB RESOURCE_SCRIPTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*.rc)
configure_file(${CMAKE_SOURCE_DIR}/resources/version.h.in ${CMAKE_BINARY_DIR}/generated/version.h)
add_executable(tavrel WIN32 ${CMAKE_SOURCE_DIR}/app/win32/winmain.cpp ${RESOURCE_SCRIPTS})
target_include_directories(tavrel PRIVATE ${CMAKE_BINARY_DIR}/generated)
target_link_libraries(tavrel PRIVATE tavrel_win32)
# The shipped program carries no symbol tables (a quarter of the size).
target_link_options(tavrel PRIVATE -s)

# The built program checked without running it (label static): the right PE kind, a GUI
# program, system DLLs only. The test command runs this on the 32-bit product everywhere.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(pe_kind PE32+)
else()
  set(pe_kind PE32)
endif()
add_test(NAME tavrel_exe_is_a_gui_program_of_system_dlls
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/check-exe.sh ${CMAKE_OBJDUMP} $<TARGET_FILE:tavrel> ${pe_kind})
set_tests_properties(tavrel_exe_is_a_gui_program_of_system_dlls PROPERTIES LABELS static)

# The zip for Windows users, from the 32-bit build: `cmake --build <build> --target package`
# makes tavrel-<version>-win32.zip with one folder of that name holding the program, the
# Japanese guide and the licence, both as Notepad reads them.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(package_texts)
  foreach(pair "docs/README-ja.txt;README-ja.txt" "LICENSE.txt;LICENSE.txt")
    list(GET pair 0 in)
    list(GET pair 1 out)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/package-texts/${out}
      COMMAND ${CMAKE_SOURCE_DIR}/scripts/windows-text.sh ${CMAKE_SOURCE_DIR}/${in}
        ${CMAKE_BINARY_DIR}/package-texts/${out}
      DEPENDS ${CMAKE_SOURCE_DIR}/${in} ${CMAKE_SOURCE_DIR}/scripts/windows-text.sh VERBATIM)
    list(APPEND package_texts ${CMAKE_BINARY_DIR}/package-texts/${out})
  endforeach()
  add_custom_target(package_texts ALL DEPENDS ${package_texts})
  install(TARGETS tavrel RUNTIME DESTINATION .)
  install(FILES ${package_texts} DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME tavrel-${PROJECT_VERSION}-win32)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
  set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR})
  include(CPack)
  add_test(NAME package_holds_program_guide_and_licence
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/check-package.sh
      ${CMAKE_BINARY_DIR}/tavrel-${PROJECT_VERSION}-win32.zip ${PROJECT_VERSION}
      ${CMAKE_OBJDUMP} ${CMAKE_RC_COMPILER})
  set_tests_properties(package_holds_program_guide_and_licence PROPERTIES LABELS static)
endif()

if(EXISTS ${CMAKE_SOURCE_DIR}/tools/capture_standin/CMakeLists.txt)
  add_subdirectory(tools/capture_standin)
endif()

# GoogleTest from Debian's source package, built with the cross compiler.
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
target_compile_options(gtest PRIVATE ${TAVREL_TEST_CODE_OPTIONS})
target_compile_options(gtest_main PRIVATE ${TAVREL_TEST_CODE_OPTIONS})

# Where a Windows test program runs: the build's own prefix, or the Wine slot that ctest
# gave it (scripts/wine-run.sh).
set(TAVREL_WINE_TEST_ENVIRONMENT
  "TAVREL_WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix;TAVREL_SLOTS=${CMAKE_BINARY_DIR}/slots")

# Each tests/win32/*_test.cpp is one Windows test program, run under Wine. Each run holds
# one Wine slot (scripts/test.sh: a prefix and a display of its own), so that programs run
# side by side never see each other's windows or mutexes.
file(GLOB WIN32_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win32/*_test.cpp)
foreach(src ${WIN32_TEST_SOURCES})
  get_filename_component(name ${src} NAME_WE)
  add_executable(win32_${name} ${src})
  target_link_libraries(win32_${name} PRIVATE tavrel_win32 gtest_main)
  target_include_directories(win32_${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_options(win32_${name} PRIVATE ${TAVREL_TEST_CODE_OPTIONS})
  if(name STREQUAL "history_test")
    # It hosts the main dialog: the program's dialog templates and icons.
    target_sources(win32_${name} PRIVATE ${RESOURCE_SCRIPTS})
    target_include_directories(win32_${name} PRIVATE ${CMAKE_BINARY_DIR}/generated)
  endif()
  add_test(NAME win32_${name} COMMAND win32_${name})
  set_tests_properties(win32_${name} PROPERTIES LABELS win32 TIMEOUT 300
    RESOURCE_GROUPS wine_slots:1
    SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]"
    ENVIRONMENT "${TAVREL_WINE_TEST_ENVIRONMENT}")
endforeach()

# End-to-end: tavrel.exe itself, driven from another process under Xvfb and Wine.
if(EXISTS ${CMAKE_SOURCE_DIR}/tests/e2e/CMakeLists.txt)
  add_subdirectory(tests/e2e)
endif()

# Start-up and memory figures under Wine (not part of the tests, so built only when
# scripts/bench.sh asks for them).
if(EXISTS ${CMAKE_SOURCE_DIR}/bench/win32/CMakeLists.txt AND TARGET e2e_driver)
  add_subdirectory(bench/win32 EXCLUDE_FROM_ALL)
endif()
