# The tests of the walk on Win32, run under Wine, over the tree of links
# that tests/fs/windows/walk_tests.cmake has made on the Linux side.
velkor_add_test(engine.walk
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/walk_test.cpp
  LIBS velkor_engine
  PROPERTIES FIXTURES_REQUIRED velkor_walk_links)
target_include_directories(velkor_engine.walk_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests/fs/windows)
