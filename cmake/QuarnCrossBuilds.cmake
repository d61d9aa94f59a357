# The Windows side of the project.
#
# In a Windows tree (a MinGW toolchain file) this sets up the tests that run
# under Wine (QuarnWine). In the native tree, with QUARN_WINDOWS_BUILDS on, it
# adds the two Windows builds of this same source tree as sub-builds
# (build/<native>/windows-x86_64 and windows-i686) and one ctest entry per
# build that runs that build's own ctest, so one ctest run covers native,
# 64-bit and 32-bit Windows. The 32-bit tree registers only tests labelled
# "smoke": its loader runs through QEMU and is slow.
include_guard(GLOBAL)

if(WIN32)
    include(QuarnWine)
    return()
endif()

option(QUARN_WINDOWS_BUILDS "Cross-build for Windows (x86_64 and i686) and test under Wine" OFF)
if(NOT QUARN_WINDOWS_BUILDS)
    return()
endif()

set(QUARN_WINDOWS_ARCHS "x86_64;i686" CACHE STRING "Windows builds to add")
set(QUARN_WINDOWS_SMOKE_ARCHS "i686" CACHE STRING
    "Windows builds that register and run only the tests labelled smoke")
set(QUARN_WINDOWS_BUILD_JOBS 2 CACHE STRING "Parallel jobs of each Windows build")
set(QUARN_WINDOWS_BUILD_TYPE RelWithDebInfo CACHE STRING "CMAKE_BUILD_TYPE of the Windows builds")

include(ExternalProject)
include(QuarnLocalService)
get_filename_component(_quarn_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)

# Library folder of one arch: QUARN_WINDOWS_DEPS_<arch> when given, else asked
# of the deps script on every configure (it answers from its cache in under a
# second, and builds only when sources or compilers changed).
function(_quarn_windows_deps arch out)
    if(QUARN_WINDOWS_DEPS_${arch})
        set(${out} "${QUARN_WINDOWS_DEPS_${arch}}" PARENT_SCOPE)
        return()
    endif()
    message(STATUS "Windows ${arch} libraries: tools/build-windows-deps.sh ${arch}")
    execute_process(
        COMMAND bash ${_quarn_root}/tools/build-windows-deps.sh ${arch}
        OUTPUT_VARIABLE lines
        RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "tools/build-windows-deps.sh ${arch} failed (${rc})")
    endif()
    string(STRIP "${lines}" lines)
    string(REGEX REPLACE "^.*\n" "" dir "${lines}")
    message(STATUS "Windows ${arch} libraries: ${dir}")
    set(${out} "${dir}" PARENT_SCOPE)
endfunction()

set(_quarn_previous "")
foreach(arch IN LISTS QUARN_WINDOWS_ARCHS)
    _quarn_windows_deps(${arch} deps)
    set(tree ${CMAKE_BINARY_DIR}/windows-${arch})

    set(extra_args)
    set(ctest_filter)
    if(arch IN_LIST QUARN_WINDOWS_SMOKE_ARCHS)
        list(APPEND extra_args -DQUARN_WINDOWS_TEST_LABELS=smoke)
        set(ctest_filter -L smoke)
    endif()

    # A compiler launcher (ccache) of this tree serves the Windows trees too.
    foreach(lang C CXX)
        if(CMAKE_${lang}_COMPILER_LAUNCHER)
            list(APPEND extra_args "-DCMAKE_${lang}_COMPILER_LAUNCHER=${CMAKE_${lang}_COMPILER_LAUNCHER}")
        endif()
    endforeach()

    set(build_command)
    if(NOT CMAKE_GENERATOR MATCHES "Makefiles")
        # Make shares its job server with the sub-build; others need a limit.
        set(build_command BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> -j ${QUARN_WINDOWS_BUILD_JOBS})
    endif()
    # The Windows builds run one after the other: each uses both cores.
    set(depends)
    if(_quarn_previous)
        set(depends DEPENDS ${_quarn_previous})
    endif()

    ExternalProject_Add(quarn-windows-${arch}
        SOURCE_DIR ${PROJECT_SOURCE_DIR}
        BINARY_DIR ${tree}
        PREFIX ${CMAKE_BINARY_DIR}/windows-${arch}-ep
        CMAKE_ARGS
            -DCMAKE_TOOLCHAIN_FILE=${_quarn_root}/cmake/toolchain-${arch}-mingw.cmake
            -DCMAKE_BUILD_TYPE=${QUARN_WINDOWS_BUILD_TYPE}
            -DQUARN_WINDOWS_DEPS=${deps}
            # The programs of these trees are tested against the tests' service.
            -DQUARN_SERVICE_BASE_URL=${QUARN_TEST_SERVICE_URL}
            -DQUARN_TEST_SERVICE_PORT=${QUARN_TEST_SERVICE_PORT}
            -DQUARN_START_LOCAL_SERVICE=OFF
            ${extra_args}
        ${build_command}
        ${depends}
        INSTALL_COMMAND ""
        BUILD_ALWAYS ON
        USES_TERMINAL_CONFIGURE ON
        USES_TERMINAL_BUILD ON)
    set(_quarn_previous quarn-windows-${arch})

    add_test(NAME windows-${arch}
        COMMAND ${CMAKE_CTEST_COMMAND} --test-dir ${tree} --output-on-failure
                --no-tests=error ${ctest_filter})
    # Windows tests share the Wine prefix and the X display (screenshots), so
    # the two trees never run at the same time; native tests may run beside.
    set_tests_properties(windows-${arch} PROPERTIES
        LABELS "windows;${arch}"
        RESOURCE_LOCK "quarn_wine_display;local_service"
        FIXTURES_REQUIRED local_service
        TIMEOUT 1800)
endforeach()
unset(_quarn_previous)
