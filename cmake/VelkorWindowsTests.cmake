# The test suite of the Windows build, run under Wine (./test --windows).
add_subdirectory(${PROJECT_SOURCE_DIR}/tests/core ${CMAKE_BINARY_DIR}/tests/core)
add_subdirectory(${PROJECT_SOURCE_DIR}/tests/cli/windows ${CMAKE_BINARY_DIR}/tests/cli/windows)
