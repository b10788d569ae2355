# velkor_add_test(<layer> SOURCES <files...> [LIBS <targets...>] [MAIN <file>]
#                 [TIMEOUT <seconds>] [PROPERTIES <ctest properties...>]
#                 [FIXTURE_TESTS <gtest filter>])
#
# Builds one GoogleTest binary per layer, velkor_<layer>_tests, linked to the
# layer's library, and registers every test case with CTest. A layer that needs
# its own main (the Qt tests start an application object) names it with MAIN.
# The cases FIXTURE_TESTS selects need the generated fixtures; the others do
# not wait for them.
if(WIN32)
  # GoogleTest built for the target from Debian's sources (googletest).
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  # Its own CMake defines the GTest:: names.
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
else()
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)

function(velkor_add_test layer)
  cmake_parse_arguments(ARG "" "MAIN;TIMEOUT;FIXTURE_TESTS" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  set(target velkor_${layer}_tests)
  add_executable(${target} ${ARG_SOURCES} ${ARG_MAIN})
  target_link_libraries(${target} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock velkor_warnings)
  if(NOT ARG_MAIN)
    target_link_libraries(${target} PRIVATE GTest::gtest_main)
  endif()
  target_compile_definitions(${target} PRIVATE
    VELKOR_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    VELKOR_BINARY_DIR="${CMAKE_BINARY_DIR}"
    VELKOR_PYTHON="${Python3_EXECUTABLE}")
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  if(ARG_FIXTURE_TESTS)
    gtest_discover_tests(${target}
      TEST_PREFIX "${layer}."
      TEST_FILTER "-${ARG_FIXTURE_TESTS}"
      DISCOVERY_TIMEOUT 60
      PROPERTIES TIMEOUT ${ARG_TIMEOUT} ${ARG_PROPERTIES})
    gtest_discover_tests(${target}
      TEST_PREFIX "${layer}."
      TEST_FILTER "${ARG_FIXTURE_TESTS}"
      DISCOVERY_TIMEOUT 60
      PROPERTIES TIMEOUT ${ARG_TIMEOUT} FIXTURES_REQUIRED velkor_fixtures ${ARG_PROPERTIES})
  else()
    gtest_discover_tests(${target}
      TEST_PREFIX "${layer}."
      DISCOVERY_TIMEOUT 60
      PROPERTIES TIMEOUT ${ARG_TIMEOUT} ${ARG_PROPERTIES})
  endif()
endfunction()
