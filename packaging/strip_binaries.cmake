# Run by CPack on the staged package tree, before it is packed: strips the programs as Debian's
# tools do, leaving no debugging symbols and no .comment or .note section.
file(GLOB programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/bin/*")
foreach(program IN LISTS programs)
    execute_process(
        COMMAND strip --remove-section=.comment --remove-section=.note --strip-unneeded ${program}
        RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "strip failed on ${program}")
    endif()
endforeach()
