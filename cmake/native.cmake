# The native Linux build: the library's sources with a stand-in platform layer,
# unit tests under AddressSanitizer and UndefinedBehaviorSanitizer.
set(KV_SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)

add_library(kv_core STATIC ${KV_SOURCES} ${CMAKE_SOURCE_DIR}/src/frame/platform_posix.cpp)
target_include_directories(kv_core PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_compile_options(kv_core PRIVATE ${KV_COMMON_FLAGS} ${KV_LIBRARY_FLAGS} PUBLIC ${KV_SANITIZE})
target_link_options(kv_core PUBLIC ${KV_SANITIZE})

add_subdirectory(${GTEST_SOURCE_DIR} googletest EXCLUDE_FROM_ALL)

file(GLOB_RECURSE KV_NATIVE_TESTS CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/tests/frame/*.cpp ${CMAKE_SOURCE_DIR}/tests/dx/*.cpp
  ${CMAKE_SOURCE_DIR}/tests/vector/*.cpp ${CMAKE_SOURCE_DIR}/tests/matrix/*.cpp
  ${CMAKE_SOURCE_DIR}/tests/quat/*.cpp ${CMAKE_SOURCE_DIR}/tests/geometry/*.cpp
  ${CMAKE_SOURCE_DIR}/tests/host/*.cpp)
add_executable(kv_unit_tests ${KV_NATIVE_TESTS})
target_include_directories(kv_unit_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_compile_options(kv_unit_tests PRIVATE ${KV_COMMON_FLAGS})
target_compile_definitions(kv_unit_tests PRIVATE KV_COMMANDS_TAB="${KV_TABLE}")
target_link_libraries(kv_unit_tests PRIVATE kv_core gtest_main)
add_dependencies(kv_unit_tests command_table)
add_test(NAME unit_tests COMMAND kv_unit_tests --gtest_brief=1)
