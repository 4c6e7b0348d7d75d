# Each subsystem folder contributes every .cpp it holds, except program entry points
# (files named *_main.cpp), which belong to their executables.
function(tavo_collect_sources out)
    set(_all)
    foreach(_dir IN LISTS ARGN)
        file(GLOB _files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${_dir}/*.cpp)
        list(FILTER _files EXCLUDE REGEX ".*_main\\.cpp$")
        list(APPEND _all ${_files})
    endforeach()
    set(${out} ${_all} PARENT_SCOPE)
endfunction()
