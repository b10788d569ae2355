# The tests of the Win32 directory search, drive list and path names, run
# under Wine; the path-name, wildcard and mask tests are the Linux build's
# own, which hold the Windows expectations too. A Linux-side step first
# makes the tree with symbolic links that Wine shows as reparse points.
velkor_add_test(fs.walk
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/find_handle_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/drive_list_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../path_names_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../wildcard_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../mask_set_test.cpp
  LIBS velkor_fs
  PROPERTIES FIXTURES_REQUIRED velkor_walk_links)
add_test(NAME fs.walk.MakeLinks
  COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/make_links.sh ${CMAKE_BINARY_DIR}/walk-links)
set_tests_properties(fs.walk.MakeLinks PROPERTIES FIXTURES_SETUP velkor_walk_links)
