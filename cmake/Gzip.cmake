# zyr_install_gzipped(SOURCE DESTINATION NAME): installs SOURCE as DESTINATION/NAME, compressed
# the way Debian wants documentation compressed: gzip -9n, with neither the file's name nor a
# time in the header, so the same source always gives the same bytes.
find_program(ZYR_GZIP gzip REQUIRED)

function(zyr_install_gzipped source destination name)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${name})
  add_custom_command(OUTPUT ${out}
                     COMMAND sh -c "\"$0\" -9nc <\"$1\" >\"$2\"" ${ZYR_GZIP} ${source} ${out}
                     DEPENDS ${source} VERBATIM)
  string(MAKE_C_IDENTIFIER "gzip_${name}" target)
  add_custom_target(${target} ALL DEPENDS ${out})
  install(FILES ${out} DESTINATION ${destination})
endfunction()
