# The test suite of the Windows build, run under Wine (./test --windows).
# The shared helpers and the generated fixtures (made by python3 on the Linux
# side; Wine sees the Linux root as drive Z:), the compound-file layer's
# tests as on Linux, the layers' Win32 tests (tests/<layer>/windows), and
# the zip file of scripts/package-windows.sh, checked from the Linux side.
add_subdirectory(${PROJECT_SOURCE_DIR}/tests/support ${CMAKE_BINARY_DIR}/tests/support)
velkor_add_test(support_windows
  SOURCES ${PROJECT_SOURCE_DIR}/tests/support/windows/process_test.cpp
  LIBS velkor_test_support)
add_subdirectory(${PROJECT_SOURCE_DIR}/tests/fixtures ${CMAKE_BINARY_DIR}/tests/fixtures)
add_subdirectory(${PROJECT_SOURCE_DIR}/tests/cfb ${CMAKE_BINARY_DIR}/tests/cfb)
add_subdirectory(${PROJECT_SOURCE_DIR}/tests/package/windows ${CMAKE_BINARY_DIR}/tests/package/windows)

add_subdirectory(${PROJECT_SOURCE_DIR}/tests/core ${CMAKE_BINARY_DIR}/tests/core)
add_subdirectory(${PROJECT_SOURCE_DIR}/tests/desktop ${CMAKE_BINARY_DIR}/tests/desktop)
add_subdirectory(${PROJECT_SOURCE_DIR}/tests/fs/windows ${CMAKE_BINARY_DIR}/tests/fs/windows)
add_subdirectory(${PROJECT_SOURCE_DIR}/tests/cfb/windows ${CMAKE_BINARY_DIR}/tests/cfb/windows)
add_subdirectory(${PROJECT_SOURCE_DIR}/tests/engine/windows ${CMAKE_BINARY_DIR}/tests/engine/windows)
add_subdirectory(${PROJECT_SOURCE_DIR}/tests/cli/windows ${CMAKE_BINARY_DIR}/tests/cli/windows)
add_subdirectory(${PROJECT_SOURCE_DIR}/tests/robust/windows ${CMAKE_BINARY_DIR}/tests/robust/windows)
# What the Windows desktop program's windows cannot show from outside.
add_subdirectory(${PROJECT_SOURCE_DIR}/tests/win32ui/windows ${CMAKE_BINARY_DIR}/tests/win32ui/windows)
