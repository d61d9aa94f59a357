# Windows tests in the cross builds: GoogleTest compiled from Debian's source
# (libgtest-dev ships it in /usr/src/googletest) and quarn_add_windows_test(),
# which registers a test that ctest runs under Wine through the toolchain's
# CMAKE_CROSSCOMPILING_EMULATOR (tools/wine-run.sh).
include_guard(GLOBAL)

if(NOT WIN32)
    return()
endif()

set(QUARN_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH
    "GoogleTest source tree built into the Windows test programs")
set(QUARN_WINDOWS_TEST_LABELS "" CACHE STRING
    "Register only the Windows tests that carry one of these labels (empty: all)")
set(QUARN_WINDOWS_TEST_TIMEOUT 300 CACHE STRING
    "Default time-out in seconds of one Windows test")

if(NOT TARGET gtest)
    if(NOT EXISTS "${QUARN_GOOGLETEST_SOURCE}/CMakeLists.txt")
        message(FATAL_ERROR "No GoogleTest source in ${QUARN_GOOGLETEST_SOURCE} (Debian: libgtest-dev)")
    endif()
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    add_subdirectory(${QUARN_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    # The same names find_package(GTest) gives natively.
    foreach(_quarn_gt gtest gtest_main gmock gmock_main)
        if(TARGET ${_quarn_gt} AND NOT TARGET GTest::${_quarn_gt})
            add_library(GTest::${_quarn_gt} ALIAS ${_quarn_gt})
        endif()
    endforeach()
    unset(_quarn_gt)
endif()

# quarn_add_windows_test(<target> [NAME <name>] [LABELS <label>...]
#                        [ARGS <arg>...] [ENVIRONMENT <VAR=value>...]
#                        [TIMEOUT <seconds>] [WORKING_DIRECTORY <dir>])
#
# Registers the Windows program <target> as one ctest test (one process per
# program: starting Wine per test case would cost more than the cases). Every
# test gets the label "windows". When QUARN_WINDOWS_TEST_LABELS is set (the
# 32-bit tree sets "smoke", as QEMU is slow) a test without one of those
# labels is registered disabled and its program is left out of the default
# build.
function(quarn_add_windows_test target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "NAME;TIMEOUT;WORKING_DIRECTORY"
        "LABELS;ARGS;ENVIRONMENT")
    if(arg_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "quarn_add_windows_test: unknown arguments ${arg_UNPARSED_ARGUMENTS}")
    endif()
    if(NOT arg_NAME)
        set(arg_NAME ${target})
    endif()
    if(NOT arg_TIMEOUT)
        set(arg_TIMEOUT ${QUARN_WINDOWS_TEST_TIMEOUT})
    endif()
    if(NOT arg_WORKING_DIRECTORY)
        set(arg_WORKING_DIRECTORY $<TARGET_FILE_DIR:${target}>)
    endif()

    if(QUARN_WINDOWS_TEST_LABELS)
        set(wanted FALSE)
        foreach(label IN LISTS arg_LABELS)
            if(label IN_LIST QUARN_WINDOWS_TEST_LABELS)
                set(wanted TRUE)
            endif()
        endforeach()
    endif()

    add_test(NAME ${arg_NAME} COMMAND ${target} ${arg_ARGS}
        WORKING_DIRECTORY ${arg_WORKING_DIRECTORY})
    set_tests_properties(${arg_NAME} PROPERTIES
        LABELS "windows;${arg_LABELS}"
        TIMEOUT ${arg_TIMEOUT})
    if(QUARN_WINDOWS_TEST_LABELS AND NOT wanted)
        # Registered but disabled, so later set_tests_properties calls on it
        # still work; its program is not built by default.
        set_tests_properties(${arg_NAME} PROPERTIES DISABLED TRUE)
        set_target_properties(${target} PROPERTIES EXCLUDE_FROM_ALL ON)
    endif()
    if(arg_ENVIRONMENT)
        set_tests_properties(${arg_NAME} PROPERTIES ENVIRONMENT "${arg_ENVIRONMENT}")
    endif()
endfunction()
