# quarn_delay_load(<target> <library>...)
#
# Links <target> against system libraries whose DLLs load at their first
# call instead of before the program's entry: each one costs its mapping, its
# dependencies' and its start-up code (the certificate and network ones start
# their TLS library) before the first window can paint, and they are first
# called by workers. A delay-import library is made from the system's import
# library (every function it exports) and found before it on the target's
# link path, so any "-l<library>" on its link line resolves to it. The
# system's own helper (delayimp) loads the DLL and binds the call.
#
# Only functions can be delayed: a data import of a delayed library fails the
# link (undefined __imp_ symbol) rather than the program.
function(quarn_delay_load target)
    if(NOT CMAKE_SYSTEM_NAME STREQUAL "Windows")
        return()
    endif()
    find_program(QUARN_DLLTOOL ${QUARN_MINGW_TRIPLE}-dlltool REQUIRED)
    find_program(QUARN_NM ${QUARN_MINGW_TRIPLE}-nm REQUIRED)
    find_program(QUARN_OBJCOPY ${QUARN_MINGW_TRIPLE}-objcopy REQUIRED)
    set(folder "${CMAKE_CURRENT_BINARY_DIR}/delay-load-${target}")
    # Made afresh: a library left from an earlier list would still be found.
    file(REMOVE_RECURSE "${folder}")
    file(MAKE_DIRECTORY "${folder}")
    foreach(library IN LISTS ARGN)
        _quarn_make_delay_library(${target} "${library}" "${folder}")
        target_link_libraries(${target} PRIVATE ${library})
    endforeach()
    target_link_directories(${target} BEFORE PRIVATE "${folder}")
    target_link_libraries(${target} PRIVATE delayimp)
endfunction()

function(_quarn_make_delay_library target library folder)
    set(imports "/usr/${QUARN_MINGW_TRIPLE}/lib/lib${library}.a")
    if(NOT EXISTS "${imports}")
        message(FATAL_ERROR "no import library ${imports} to delay")
    endif()
    execute_process(COMMAND "${QUARN_NM}" "${imports}" OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "${QUARN_NM} could not read ${imports}")
    endif()
    # A function has its thunk (T name) beside its pointer (I __imp_name);
    # the 32-bit names carry the leading underscore of their C names.
    string(REGEX MATCHALL "[ \t]T [^\n]+" thunks "${symbols}")
    set(exports "")
    foreach(thunk IN LISTS thunks)
        string(SUBSTRING "${thunk}" 3 -1 name)
        string(FIND "${symbols}" "I __imp_${name}\n" pointer)
        if(name MATCHES "^_head_|^__lib" OR pointer EQUAL -1)
            continue()
        endif()
        if(QUARN_MINGW_TRIPLE MATCHES "^i686")
            # One underscore only: a regular expression anchored at the
            # start would take every leading one.
            string(SUBSTRING "${name}" 1 -1 name)
        endif()
        string(APPEND exports "    ${name}\n")
    endforeach()
    if(exports STREQUAL "")
        message(FATAL_ERROR "no functions found in ${imports}")
    endif()
    set(made "${folder}/lib${library}.a")
    file(WRITE "${folder}/${library}.def" "LIBRARY ${library}.dll\nEXPORTS\n${exports}")
    execute_process(
        COMMAND "${QUARN_DLLTOOL}" --kill-at --input-def "${library}.def" --dllname "${library}.dll"
                --output-delaylib "lib${library}.a"
        # Named from the folder, the library's symbols do not carry the build path.
        WORKING_DIRECTORY "${folder}"
        RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "${QUARN_DLLTOOL} could not make a delay-import library for ${library}")
    endif()
    # Made at configure time: a changed library must still relink.
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS "${made}")
    if(QUARN_MINGW_TRIPLE MATCHES "^i686")
        # The 32-bit linker drops an import library's code section when no
        # one names its symbol directly, taking callers through __imp_ to be
        # served by the pointer alone. A delay thunk is reached only through
        # that pointer, so it went too and the first call jumped to 0. As a
        # data-flagged section the linker leaves it alone; it still lands in
        # the program's code, where every .text$ section goes.
        execute_process(
            COMMAND "${QUARN_OBJCOPY}" "--rename-section" ".text=.text$delay,alloc,load,readonly,data,contents" "${made}"
            RESULT_VARIABLE failed)
        if(failed)
            message(FATAL_ERROR "${QUARN_OBJCOPY} could not mark the delay thunks of ${library}")
        endif()
    endif()
endfunction()
