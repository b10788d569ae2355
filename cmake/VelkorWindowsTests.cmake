# The test suite of the Windows build, run under Wine (./test --windows).
add_subdirectory(${PROJECT_SOURCE_DIR}/tests/core ${CMAKE_BINARY_DIR}/tests/core)
add_subdirectory(${PROJECT_SOURCE_DIR}/tests/fs/windows ${CMAKE_BINARY_DIR}/tests/fs/windows)
include(${PROJECT_SOURCE_DIR}/tests/fs/windows/walk_tests.cmake)
include(${PROJECT_SOURCE_DIR}/tests/engine/windows/walk_tests.cmake)
add_subdirectory(${PROJECT_SOURCE_DIR}/tests/cfb/windows ${CMAKE_BINARY_DIR}/tests/cfb/windows)
add_subdirectory(${PROJECT_SOURCE_DIR}/tests/engine/windows ${CMAKE_BINARY_DIR}/tests/engine/windows)
