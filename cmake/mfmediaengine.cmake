# mingw-w64 has no mfmediaengine.h. Generate it from Wine's IDL (libwine-dev) with mingw's widl,
# into <build>/generated, and put that folder on peltorine_video's include path. MSVC uses the
# Windows SDK's own header and needs nothing from here.
find_program(PELTORINE_WIDL NAMES x86_64-w64-mingw32-widl widl REQUIRED)
find_path(PELTORINE_WINE_IDL_DIR mfmediaengine.idl
          PATHS /usr/include/wine/wine/windows /usr/include/wine/windows
          NO_CMAKE_FIND_ROOT_PATH REQUIRED)

set(generated_dir ${CMAKE_BINARY_DIR}/generated)
set(fixed_idl ${generated_dir}/mfmediaengine.idl)
set(generated_header ${generated_dir}/mfmediaengine.h)
# Wine's IDL names one parameter "protected", a C++ keyword.
add_custom_command(
    OUTPUT ${generated_header}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${generated_dir}
    COMMAND sed "s/\\bprotected\\b/isProtected/g" ${PELTORINE_WINE_IDL_DIR}/mfmediaengine.idl > ${fixed_idl}
    COMMAND ${PELTORINE_WIDL} -h -I${PELTORINE_WINE_IDL_DIR} -o ${generated_header} ${fixed_idl}
    DEPENDS ${PELTORINE_WINE_IDL_DIR}/mfmediaengine.idl
    COMMENT "Generating mfmediaengine.h from Wine's IDL"
    VERBATIM)
add_custom_target(peltorine_mfmediaengine_header DEPENDS ${generated_header})
add_dependencies(peltorine_video peltorine_mfmediaengine_header)
target_include_directories(peltorine_video SYSTEM PUBLIC ${generated_dir})
