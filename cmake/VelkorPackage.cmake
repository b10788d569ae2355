# The files an installation carries besides the programs, and the Debian
# package (scripts/package.sh runs cpack on a build folder).
#
# velkor_install_gzipped(<file> <destination>) installs <file>.gz, compressed
# at build time without a name or time stamp (gzip -9n): manual pages and the
# changelog are shipped compressed, and the same input gives the same bytes.
function(velkor_install_gzipped source destination)
  get_filename_component(name ${source} NAME)
  set(folder ${CMAKE_BINARY_DIR}/gzipped)
  add_custom_command(OUTPUT ${folder}/${name}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${folder}/${name}
    COMMAND gzip -9nf ${folder}/${name}
    DEPENDS ${source}
    VERBATIM)
  add_custom_target(velkor_gzip_${name} ALL DEPENDS ${folder}/${name}.gz)
  install(FILES ${folder}/${name}.gz DESTINATION ${destination})
endfunction()

set(VELKOR_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/velkor)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright DESTINATION ${VELKOR_DOC_DIR})
velkor_install_gzipped(${CMAKE_SOURCE_DIR}/packaging/changelog ${VELKOR_DOC_DIR})

# The scheduled run, disabled until the administrator enables its timer:
# the units where systemd looks for a package's own, and the script that
# reads the folder list.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/systemd/velkor-compact.service
              ${CMAKE_SOURCE_DIR}/packaging/systemd/velkor-compact.timer
        DESTINATION lib/systemd/system)
install(PROGRAMS ${CMAKE_SOURCE_DIR}/packaging/systemd/velkor-compact
        DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/velkor)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velkor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Velkor developers")
set(CPACK_PACKAGE_CONTACT "The Velkor developers <support@velkor.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "make Word and Excel documents smaller without changing their content")
set(CPACK_PACKAGE_DESCRIPTION [=[
Word documents (*.doc) and Excel workbooks (*.xls) in the older Office
formats are compound documents, which keep the space that edits have freed
inside them. Velkor copies each document's storage tree into a fresh
compound file beside it and, when the copy is strictly smaller, puts it in
the document's place with the document's name, permissions, owner,
extended attributes and times. Estimate mode shows the gain first.

The package holds the desktop program velkor and the terminal front end
velkor-cli, which runs the same job over SSH and from scripts, and a systemd
timer, disabled by default, that compacts the folders listed in
/etc/velkor/folders every night at idle priority.]=])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://velkor.org/)
# The linked libraries (Qt 6, the C++ runtime) come from dpkg-shlibdeps.
# libmount is loaded only when the drives are listed (dlopen), and the Help
# button hands its page to xdg-open: nothing links either, so both are named.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libmount1, xdg-utils")
# An interactive bash loads the completion of velkor-cli through bash-completion.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS bash-completion)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
