# Runs in CPack's staging tree before the package is made, on whatever the install() rules put
# there: executables stripped of debug data, .comment and .note as dh_strip does, man pages and
# the changelog compressed with gzip -9n (no name, no time stamp: the package is reproducible).
file(GLOB_RECURSE staged LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*")
foreach(file ${staged})
    if(IS_SYMLINK ${file})
        continue()
    endif()
    file(READ ${file} magic LIMIT 4 HEX)
    if(magic STREQUAL "7f454c46")
        set(command strip --remove-section=.comment --remove-section=.note ${file})
    elseif(file MATCHES "/share/man/man[1-9]/[^/]+\\.[1-9]$"
           OR file MATCHES "/share/doc/telvor/changelog$")
        set(command gzip -9nf ${file})
    else()
        continue()
    endif()
    execute_process(COMMAND ${command} RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "${command}: ${result}")
    endif()
endforeach()
