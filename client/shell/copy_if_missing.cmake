# cmake -DSOURCE=... -DTARGET=... -P copy_if_missing.cmake
# The installed configuration holds the user's login once used: a rebuild
# must not put the empty one back.
if(NOT EXISTS "${TARGET}")
    configure_file("${SOURCE}" "${TARGET}" COPYONLY)
endif()
