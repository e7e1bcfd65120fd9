# The native Linux build: the library's sources with a stand-in platform layer,
# unit tests under AddressSanitizer and UndefinedBehaviorSanitizer. With KV_FUZZ
# (a clang build, `make fuzz`), the libFuzzer targets instead.
option(KV_FUZZ "Build the libFuzzer targets (clang)" OFF)
set(KV_SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
if(KV_FUZZ)
  set(KV_SANITIZE -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
endif()

add_library(kv_core STATIC ${KV_SOURCES} ${CMAKE_SOURCE_DIR}/src/frame/platform_posix.cpp)
target_include_directories(kv_core PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_compile_options(kv_core PRIVATE ${KV_COMMON_FLAGS} ${KV_LIBRARY_FLAGS} PUBLIC ${KV_SANITIZE})
target_link_options(kv_core PUBLIC ${KV_SANITIZE})

# Every export called from an array of words, for the fuzz targets.
add_custom_command(
  OUTPUT ${KV_GEN}/export_calls.cpp
  COMMAND ${Python3_EXECUTABLE} ${KV_TABLEGEN} ${KV_TABLE} --calls ${KV_GEN}/export_calls.cpp --headers ${KV_HEADER_LIST}
  DEPENDS ${KV_TABLE} ${KV_TABLEGEN}
  COMMENT "Generating the export calls" VERBATIM)
set(KV_FUZZ_TARGETS ${CMAKE_SOURCE_DIR}/tests/fuzz/commands_fuzz.cpp ${CMAKE_SOURCE_DIR}/tests/fuzz/pools_fuzz.cpp
  ${KV_GEN}/export_calls.cpp)

if(KV_FUZZ)
  foreach(target commands pools)
    add_executable(kv_fuzz_${target} ${CMAKE_SOURCE_DIR}/tests/fuzz/libfuzzer_${target}.cpp ${KV_FUZZ_TARGETS})
    target_include_directories(kv_fuzz_${target} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
    target_compile_options(kv_fuzz_${target} PRIVATE ${KV_COMMON_FLAGS})
    target_compile_definitions(kv_fuzz_${target} PRIVATE KV_COMMANDS_TAB="${KV_TABLE}")
    target_link_libraries(kv_fuzz_${target} PRIVATE kv_core)
    target_link_options(kv_fuzz_${target} PRIVATE -fsanitize=fuzzer)
  endforeach()
  return()
endif()

add_subdirectory(${GTEST_SOURCE_DIR} googletest EXCLUDE_FROM_ALL)

file(GLOB_RECURSE KV_NATIVE_TESTS CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/tests/frame/*.cpp ${CMAKE_SOURCE_DIR}/tests/dx/*.cpp
  ${CMAKE_SOURCE_DIR}/tests/vector/*.cpp ${CMAKE_SOURCE_DIR}/tests/matrix/*.cpp
  ${CMAKE_SOURCE_DIR}/tests/quat/*.cpp ${CMAKE_SOURCE_DIR}/tests/geometry/*.cpp
  ${CMAKE_SOURCE_DIR}/tests/host/*.cpp ${CMAKE_SOURCE_DIR}/tests/fuzz/*_test.cpp)
add_executable(kv_unit_tests ${KV_NATIVE_TESTS} ${KV_FUZZ_TARGETS})
target_include_directories(kv_unit_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_compile_options(kv_unit_tests PRIVATE ${KV_COMMON_FLAGS})
target_compile_definitions(kv_unit_tests PRIVATE KV_COMMANDS_TAB="${KV_TABLE}" KV_COMMANDS_MD="${KV_GEN}/commands.md"
  KV_GENERATED="${KV_GEN}" KV_DOCS="${CMAKE_SOURCE_DIR}/docs" KV_FUZZ_CORPUS="${CMAKE_SOURCE_DIR}/tests/fuzz/corpus")
target_link_libraries(kv_unit_tests PRIVATE kv_core gtest_main)
add_dependencies(kv_unit_tests command_table)
include(GoogleTest)
gtest_discover_tests(kv_unit_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 60)
