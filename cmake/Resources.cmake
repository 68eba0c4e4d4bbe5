# Generated inputs of the plug-in's resource script: the two hand cursors are
# written from the text pictures in resources/cursors at build time, into a
# folder that the resource compiler searches.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

function(tintara_generate_cursors target rc_file)
  set(picture_dir ${CMAKE_SOURCE_DIR}/resources/cursors)
  set(out_dir ${CMAKE_BINARY_DIR}/resources)
  set(outputs)
  foreach(name HandOpen HandClosed)
    add_custom_command(
      OUTPUT ${out_dir}/${name}.cur
      COMMAND ${CMAKE_COMMAND} -E make_directory ${out_dir}
      COMMAND Python3::Interpreter ${picture_dir}/make_cursor.py ${picture_dir}/${name}.txt
              ${out_dir}/${name}.cur
      DEPENDS ${picture_dir}/make_cursor.py ${picture_dir}/${name}.txt
      COMMENT "Generating cursor ${name}.cur"
      VERBATIM)
    list(APPEND outputs ${out_dir}/${name}.cur)
  endforeach()
  set_source_files_properties(${rc_file} PROPERTIES OBJECT_DEPENDS "${outputs}")
  # windres looks up the files that the script names in its include folders.
  target_include_directories(${target} PRIVATE ${out_dir})
endfunction()
