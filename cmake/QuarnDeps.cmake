# Third-party libraries under one set of names for the native and the Windows
# builds:
#   quarn::curl     libcurl (easy interface)
#   quarn::jsoncpp  jsoncpp
#   quarn::tinyxml  TinyXML 2.6 with TIXML_USE_STL
# Natively they are Debian's -dev packages. In the Windows builds they are the
# static libraries tools/build-windows-deps.sh puts in QUARN_WINDOWS_DEPS.
# The targets are defined only where a library is found, so a partial machine
# still configures what it can; QUARN_REQUIRE_DEPS makes a missing one fatal.
include_guard(GLOBAL)

option(QUARN_REQUIRE_DEPS "Fail the configure when a library is missing" ON)
if(QUARN_REQUIRE_DEPS)
    set(_quarn_required REQUIRED)
else()
    set(_quarn_required)
endif()

function(_quarn_alias name real)
    if(TARGET ${real} AND NOT TARGET ${name})
        add_library(${name} INTERFACE IMPORTED GLOBAL)
        target_link_libraries(${name} INTERFACE ${real})
    endif()
endfunction()

if(WIN32)
    if(NOT QUARN_WINDOWS_DEPS OR NOT EXISTS "${QUARN_WINDOWS_DEPS}/.complete")
        message(FATAL_ERROR
            "QUARN_WINDOWS_DEPS ('${QUARN_WINDOWS_DEPS}') is not a finished library folder; "
            "pass -DQUARN_WINDOWS_DEPS=$(tools/build-windows-deps.sh <arch> | tail -n 1)")
    endif()
    # Only the cache folder: the MinGW sysroot must not lend a stray copy.
    set(_quarn_where PATHS "${QUARN_WINDOWS_DEPS}" NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
    # The packages of this folder, not those an earlier configure cached
    # (a new folder after a library update would otherwise link the old).
    set(CURL_DIR "${QUARN_WINDOWS_DEPS}/lib/cmake/CURL" CACHE PATH "libcurl of the Windows libraries" FORCE)
    set(jsoncpp_DIR "${QUARN_WINDOWS_DEPS}/lib/cmake/jsoncpp" CACHE PATH "jsoncpp of the Windows libraries" FORCE)
    set(tinyxml_DIR "${QUARN_WINDOWS_DEPS}/lib/cmake/tinyxml" CACHE PATH "TinyXML of the Windows libraries" FORCE)
    # libcurl asks for zlib by name; it is the folder's own static one.
    if(EXISTS "${QUARN_WINDOWS_DEPS}/lib/libz.a")
        set(ZLIB_LIBRARY "${QUARN_WINDOWS_DEPS}/lib/libz.a" CACHE FILEPATH "zlib of the Windows libraries" FORCE)
        set(ZLIB_INCLUDE_DIR "${QUARN_WINDOWS_DEPS}/include" CACHE PATH "zlib of the Windows libraries" FORCE)
    endif()
    find_package(CURL CONFIG ${_quarn_required} ${_quarn_where})
    find_package(jsoncpp CONFIG ${_quarn_required} ${_quarn_where})
    find_package(tinyxml CONFIG ${_quarn_required} ${_quarn_where})

    # CURL::libcurl carries CURL_STATICLIB, nghttp2, zlib and the system
    # libraries of the static build (ws2_32, crypt32, bcrypt, advapi32, winmm).
    _quarn_alias(quarn::curl CURL::libcurl)
    _quarn_alias(quarn::jsoncpp jsoncpp_static)
    _quarn_alias(quarn::tinyxml tinyxml::tinyxml)
else()
    find_package(CURL ${_quarn_required})
    find_package(jsoncpp CONFIG ${_quarn_required})
    _quarn_alias(quarn::curl CURL::libcurl)
    _quarn_alias(quarn::jsoncpp jsoncpp_lib)

    # Debian ships no CMake file for TinyXML. Its library is built with
    # TIXML_USE_STL, which changes class layouts, so users must define it too.
    find_path(QUARN_TINYXML_INCLUDE_DIR tinyxml.h)
    find_library(QUARN_TINYXML_LIBRARY tinyxml)
    if(QUARN_TINYXML_INCLUDE_DIR AND QUARN_TINYXML_LIBRARY)
        add_library(quarn::tinyxml UNKNOWN IMPORTED GLOBAL)
        set_target_properties(quarn::tinyxml PROPERTIES
            IMPORTED_LOCATION "${QUARN_TINYXML_LIBRARY}"
            INTERFACE_INCLUDE_DIRECTORIES "${QUARN_TINYXML_INCLUDE_DIR}"
            INTERFACE_COMPILE_DEFINITIONS TIXML_USE_STL)
    elseif(QUARN_REQUIRE_DEPS)
        message(FATAL_ERROR "TinyXML not found (Debian: libtinyxml-dev)")
    endif()
endif()

unset(_quarn_required)
unset(_quarn_where)
