# The release number lives only in project(... VERSION ...) of the top-level
# CMakeLists.txt. From it the build writes:
# - resources/TintaraVersion.h for the resource script (version block and About
#   text), in the folder that the resource compiler searches;
# - VERSION, one line with the dotted number, for the release packaging.
function(tintara_write_version target)
  set(out_dir ${CMAKE_BINARY_DIR}/resources)
  set(TINTARA_VERSION_DOTTED "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.${PROJECT_VERSION_TWEAK}")
  set(TINTARA_VERSION_COMMAS "${PROJECT_VERSION_MAJOR}, ${PROJECT_VERSION_MINOR}, ${PROJECT_VERSION_PATCH}, ${PROJECT_VERSION_TWEAK}")
  configure_file(${CMAKE_SOURCE_DIR}/resources/TintaraVersion.h.in ${out_dir}/TintaraVersion.h @ONLY)
  file(WRITE ${CMAKE_BINARY_DIR}/VERSION "${TINTARA_VERSION_DOTTED}\n")
  target_include_directories(${target} PRIVATE ${out_dir})
endfunction()
