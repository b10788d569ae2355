# The files an installation carries besides the programs.
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
