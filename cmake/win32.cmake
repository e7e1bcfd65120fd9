# The Windows build: the plug-in DLL, the substitute host DLLs, the Win32 tests
# run under Wine, the self-check and the benchmarks.
enable_language(RC)

# Every export must be safe on the 4-byte-aligned stack an MSVC host gives it.
set(KV_TARGET_FLAGS -msse2 -mfpmath=sse -mpreferred-stack-boundary=2 -mincoming-stack-boundary=2)
set(KV_STATIC_RUNTIME -static -static-libgcc -static-libstdc++)

configure_file(${CMAKE_SOURCE_DIR}/src/frame/version.rc.in ${KV_GEN}/version.rc @ONLY)
add_library(Kestrom_Vandu SHARED
  ${KV_SOURCES}
  ${CMAKE_SOURCE_DIR}/src/frame/platform_win32.cpp
  ${CMAKE_SOURCE_DIR}/src/frame/dllmain.cpp
  ${KV_GEN}/commands.rc
  ${KV_GEN}/version.rc
  ${KV_GEN}/commands.def)
set_target_properties(Kestrom_Vandu PROPERTIES PREFIX "" OUTPUT_NAME Kestrom_Vandu)
target_include_directories(Kestrom_Vandu PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_compile_options(Kestrom_Vandu PRIVATE
  $<$<COMPILE_LANGUAGE:CXX>:${KV_COMMON_FLAGS} ${KV_LIBRARY_FLAGS} ${KV_TARGET_FLAGS}>)
# No time stamp in the image: the same sources give the same bytes.
target_link_options(Kestrom_Vandu PRIVATE ${KV_STATIC_RUNTIME} -s -Wl,--no-insert-timestamp)
set_target_properties(Kestrom_Vandu PROPERTIES INTERPROCEDURAL_OPTIMIZATION ON)
add_dependencies(Kestrom_Vandu command_table)

# The checked build: the same sources and command table, every export under the
# same name checking its handles before the command runs; in checked/, under the
# same file name, to swap into the host's plug-ins folder.
add_custom_command(
  OUTPUT ${KV_GEN}/checked_calls.cpp ${KV_GEN}/checked.def
  COMMAND ${Python3_EXECUTABLE} ${KV_TABLEGEN} ${KV_TABLE} --checked ${KV_GEN}/checked_calls.cpp
          --def-checked ${KV_GEN}/checked.def --headers ${KV_HEADER_LIST}
  DEPENDS ${KV_TABLE} ${KV_TABLEGEN}
  COMMENT "Generating the checked exports" VERBATIM)
add_library(Kestrom_Vandu_checked SHARED
  ${KV_SOURCES}
  ${CMAKE_SOURCE_DIR}/src/frame/platform_win32.cpp
  ${CMAKE_SOURCE_DIR}/src/frame/dllmain.cpp
  ${CMAKE_SOURCE_DIR}/src/frame/checked.cpp
  ${KV_GEN}/checked_calls.cpp
  ${KV_GEN}/commands.rc
  ${KV_GEN}/version.rc
  ${KV_GEN}/checked.def)
set_target_properties(Kestrom_Vandu_checked PROPERTIES PREFIX "" OUTPUT_NAME Kestrom_Vandu
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/checked ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/checked
  INTERPROCEDURAL_OPTIMIZATION ON)
target_include_directories(Kestrom_Vandu_checked PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_compile_definitions(Kestrom_Vandu_checked PRIVATE KV_CHECKED KV_VERSION="${KV_VERSION}")
target_compile_options(Kestrom_Vandu_checked PRIVATE
  $<$<COMPILE_LANGUAGE:CXX>:${KV_COMMON_FLAGS} ${KV_LIBRARY_FLAGS} ${KV_TARGET_FLAGS}>)
target_link_options(Kestrom_Vandu_checked PRIVATE ${KV_STATIC_RUNTIME} -s -Wl,--no-insert-timestamp)
add_dependencies(Kestrom_Vandu_checked command_table)

# Substitute host: the two host DLLs under their real names, and a variant of the
# objects DLL that lacks one export.
function(kv_host_dll target dll_name folder source def)
  add_library(${target} SHARED ${source} ${def})
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${dll_name}
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/hosts/${folder}
    ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/hosts/${folder})
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/tests/win)
  target_compile_options(${target} PRIVATE ${KV_COMMON_FLAGS} ${KV_TARGET_FLAGS})
  target_link_options(${target} PRIVATE ${KV_STATIC_RUNTIME})
endfunction()
set(KV_HOSTS ${CMAKE_SOURCE_DIR}/tests/win/hosts)
kv_host_dll(host_objects DBProBasic3DDebug full ${KV_HOSTS}/objects_host.cpp ${KV_HOSTS}/objects_host.def)
kv_host_dll(host_objects_partial DBProBasic3DDebug partial ${KV_HOSTS}/objects_host.cpp ${KV_HOSTS}/objects_host_partial.def)
kv_host_dll(host_cameras DBProCameraDebug full ${KV_HOSTS}/cameras_host.cpp ${KV_HOSTS}/cameras_host.def)

add_subdirectory(${GTEST_SOURCE_DIR} googletest EXCLUDE_FROM_ALL)

# A helper library shared by the Win32 tests, the self-check and the benchmarks:
# loading the DLL as the host does, calling exports through raw 32-bit words.
file(GLOB KV_HARNESS_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win/harness/*.cpp)
add_library(kv_harness STATIC ${KV_HARNESS_SOURCES})
target_include_directories(kv_harness PUBLIC ${CMAKE_SOURCE_DIR}/tests/win ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR}/src)
target_compile_options(kv_harness PRIVATE ${KV_COMMON_FLAGS} ${KV_TARGET_FLAGS})
target_link_libraries(kv_harness PUBLIC version)

# The D3DX layer is built into the tests and benchmarks too, to face Wine's
# d3dx9_43.dll in the same process; the plug-in does not export it.
file(GLOB KV_DX_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/dx/*.cpp)
set(KV_DX_SOURCES ${KV_DX_SOURCES} ${CMAKE_SOURCE_DIR}/src/frame/scalar_math.cpp)

file(GLOB KV_WINE_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win/*_test.cpp)
add_executable(kv_wine_tests ${KV_WINE_TESTS} ${KV_DX_SOURCES})
target_compile_options(kv_wine_tests PRIVATE ${KV_COMMON_FLAGS} ${KV_TARGET_FLAGS})
target_link_libraries(kv_wine_tests PRIVATE kv_harness gtest_main)
target_compile_definitions(kv_wine_tests PRIVATE KV_VERSION="${KV_VERSION}")
target_link_options(kv_wine_tests PRIVATE ${KV_STATIC_RUNTIME})
add_dependencies(kv_wine_tests Kestrom_Vandu Kestrom_Vandu_checked host_objects host_objects_partial host_cameras)
# The tests and the stress run read the table file next to them, the guide's
# examples test the guide's own text.
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/commands.tab
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${KV_TABLE} ${CMAKE_BINARY_DIR}/commands.tab
  DEPENDS ${KV_TABLE})
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/guide.md
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_SOURCE_DIR}/docs/guide.md ${CMAKE_BINARY_DIR}/guide.md
  DEPENDS ${CMAKE_SOURCE_DIR}/docs/guide.md)
add_custom_target(table_copy ALL DEPENDS ${CMAKE_BINARY_DIR}/commands.tab ${CMAKE_BINARY_DIR}/guide.md)
add_dependencies(kv_wine_tests table_copy)

# The stress run: a short one in the tests, a long one by `make stress`.
add_executable(kv_stress ${CMAKE_SOURCE_DIR}/tests/win/stress.cpp)
target_link_libraries(kv_stress PRIVATE kv_harness)
target_compile_options(kv_stress PRIVATE ${KV_COMMON_FLAGS} ${KV_TARGET_FLAGS} -O2)
target_link_options(kv_stress PRIVATE ${KV_STATIC_RUNTIME})
add_dependencies(kv_stress Kestrom_Vandu Kestrom_Vandu_checked host_objects host_objects_partial host_cameras table_copy)

# The numbers behind the user guide's pictures, from the DLL itself (`make docs`).
add_executable(kv_docs_data ${CMAKE_SOURCE_DIR}/tools/docs_data.cpp)
target_link_libraries(kv_docs_data PRIVATE kv_harness)
target_compile_options(kv_docs_data PRIVATE ${KV_COMMON_FLAGS} ${KV_TARGET_FLAGS})
target_link_options(kv_docs_data PRIVATE ${KV_STATIC_RUNTIME})
add_dependencies(kv_docs_data Kestrom_Vandu)

add_executable(kv_selfcheck ${CMAKE_SOURCE_DIR}/tools/selfcheck.cpp)
target_link_libraries(kv_selfcheck PRIVATE kv_harness)
target_compile_options(kv_selfcheck PRIVATE ${KV_COMMON_FLAGS} ${KV_TARGET_FLAGS})
target_link_options(kv_selfcheck PRIVATE ${KV_STATIC_RUNTIME})
add_dependencies(kv_selfcheck table_copy Kestrom_Vandu_checked)

file(GLOB KV_BENCH_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*.cpp)
add_executable(kv_bench ${KV_BENCH_SOURCES} ${KV_DX_SOURCES})
target_link_libraries(kv_bench PRIVATE kv_harness)
target_compile_options(kv_bench PRIVATE ${KV_COMMON_FLAGS} ${KV_TARGET_FLAGS} -O2)
target_link_options(kv_bench PRIVATE ${KV_STATIC_RUNTIME})
add_dependencies(kv_bench Kestrom_Vandu Kestrom_Vandu_checked)

# Every test case is its own CTest test, run under Wine; so is the short stress run.
# The cases are listed when CTest runs, once the Wine prefix is ready.
set(WINE ${CMAKE_SOURCE_DIR}/tools/wine-run.sh)
set_target_properties(kv_wine_tests PROPERTIES CROSSCOMPILING_EMULATOR ${WINE})
include(GoogleTest)
# Each case takes well under a second, the short stress run some five seconds; the
# timeouts leave room for a slow machine and end a hung run.
gtest_discover_tests(kv_wine_tests WORKING_DIRECTORY ${CMAKE_BINARY_DIR} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
  PROPERTIES TIMEOUT 30)
# The same cases against the checked build (its reports go to checked\reports.log).
gtest_discover_tests(kv_wine_tests WORKING_DIRECTORY ${CMAKE_BINARY_DIR} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
  TEST_PREFIX checked. PROPERTIES TIMEOUT 30 ENVIRONMENT "KV_DLL=checked\\Kestrom_Vandu.dll")
add_test(NAME stress COMMAND ${WINE} kv_stress.exe --calls 200000 WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
set_tests_properties(stress PROPERTIES TIMEOUT 90)
add_test(NAME stress.checked COMMAND ${WINE} kv_stress.exe --checked --calls 50000 WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
set_tests_properties(stress.checked PROPERTIES TIMEOUT 90)

# The calls of the accuracy check, ours and Wine's D3DX (`make accuracy`, and a
# short run in the tests).
add_executable(kv_accuracy ${CMAKE_SOURCE_DIR}/tools/accuracy_calls.cpp)
target_link_libraries(kv_accuracy PRIVATE kv_harness)
target_compile_options(kv_accuracy PRIVATE ${KV_COMMON_FLAGS} ${KV_TARGET_FLAGS})
target_link_options(kv_accuracy PRIVATE ${KV_STATIC_RUNTIME})
add_dependencies(kv_accuracy Kestrom_Vandu table_copy)
# The system's Python, which the exact arithmetic is installed for.
find_program(KV_SYSTEM_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH)
if(NOT KV_SYSTEM_PYTHON)
  set(KV_SYSTEM_PYTHON ${Python3_EXECUTABLE})
endif()
add_test(NAME accuracy COMMAND ${KV_SYSTEM_PYTHON} ${CMAKE_SOURCE_DIR}/tools/accuracy.py --draws 200 --check --quiet
  --jobs 2 --build ${CMAKE_BINARY_DIR})
set_tests_properties(accuracy PROPERTIES TIMEOUT 300 PROCESSORS 2)
