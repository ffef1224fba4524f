# vt_add_gtest(<name> SOURCES ... [LIBS ...] [LABELS ...] [OUTPUT_DIR dir])
# One GoogleTest executable, its cases registered with ctest one by one.
# Labels: "concurrency" runs again under ThreadSanitizer, "window" runs under
# Xvfb only, "slow" is left out of sanitizer builds.
function(vt_add_gtest name)
  cmake_parse_arguments(arg "" "OUTPUT_DIR" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${arg_SOURCES})
  target_link_libraries(${name} PRIVATE ${arg_LIBS} GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  vt_warnings(${name})
  if(arg_OUTPUT_DIR)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${arg_OUTPUT_DIR})
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
  # Discovery hands its PROPERTIES on as one flat list, which splits the list
  # values below and drops an empty one; so they are set by a script that
  # ctest reads after the discovered tests (listed in ${name}_TESTS).
  set(properties_script ${CMAKE_CURRENT_BINARY_DIR}/${name}_properties.cmake)
  file(WRITE ${properties_script}
    "if(${name}_TESTS)\n"
    "  set_tests_properties(\${${name}_TESTS} PROPERTIES\n"
    "    LABELS \"${arg_LABELS}\"\n"
    "    ENVIRONMENT \"VT_SOURCE_DIR=${PROJECT_SOURCE_DIR};VT_BIN_DIR=${VT_BIN_DIR}\")\n"
    "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${properties_script})
endfunction()
