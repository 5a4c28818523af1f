# Run by CPack on the files it is about to package, already stripped: takes
# out the sections Debian's own packages go without too (as dh_strip does),
# the compilers' names and versions among them.
find_program(ZURAV3_STRIP strip REQUIRED)
file(GLOB_RECURSE files LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*")
foreach(file IN LISTS files)
    if(IS_SYMLINK "${file}")
        continue()
    endif()
    file(READ "${file}" magic LIMIT 4 HEX)
    if(magic STREQUAL "7f454c46")
        execute_process(
            COMMAND ${ZURAV3_STRIP} --remove-section=.comment --remove-section=.note "${file}"
            COMMAND_ERROR_IS_FATAL ANY)
    endif()
endforeach()
