# Shared build settings and helpers for every target of the toolkit.

add_library(telvinor_warnings INTERFACE)
target_compile_options(telvinor_warnings INTERFACE -Wall -Wextra $<$<BOOL:${TELVINOR_WERROR}>:-Werror>
  # GCC 12 reports -Wrestrict on "literal" + std::string&& inside libstdc++ (GCC bug 105329).
  $<$<AND:$<CXX_COMPILER_ID:GNU>,$<VERSION_LESS:$<CXX_COMPILER_VERSION>,13>>:-Wno-restrict>)

if(TELVINOR_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# telvinor_add_subdirectories(): add every immediate subfolder that has a CMakeLists.txt,
# so a new tool, outside program or benchmark needs no edit of a shared list.
function(telvinor_add_subdirectories)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child IN LISTS children)
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()

# telvinor_add_test(NAME SOURCES ... [LIBS ...] [LABELS ...])
# One GoogleTest program per unit; its cases are registered with CTest one by one.
function(telvinor_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock telvinor_warnings)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  # Every test sees where the sources and the build are. (An ENVIRONMENT property with two
  # variables loses the second inside gtest_discover_tests, so the program is started
  # through env instead; the same launcher runs the discovery.)
  set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR
    "env;TELVINOR_SOURCE_DIR=${CMAKE_SOURCE_DIR};TELVINOR_BINARY_DIR=${CMAKE_BINARY_DIR}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "${T_LABELS}")
endfunction()
