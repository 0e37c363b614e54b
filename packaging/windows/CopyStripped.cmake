# Copies the object files FILES (separated by '|') into DESTINATION without their debugging data (STRIP). The
# imports of Qt's plugins are left out: the Qt a user links with brings its own.
string(REPLACE "|" ";" FILES "${FILES}")
foreach(file IN LISTS FILES)
  get_filename_component(name ${file} NAME)
  if(name MATCHES "plugin_import")
    continue()
  endif()
  execute_process(COMMAND ${STRIP} --strip-debug -o ${DESTINATION}/${name} ${file}
                  COMMAND_ERROR_IS_FATAL ANY)
endforeach()
