# Imported targets for the three libraries, the same names natively (Debian's
# -dev packages) and in the cross builds (the deps cache):
# quarn::curl, quarn::jsoncpp, quarn::tinyxml.
include_guard(GLOBAL)

find_package(CURL REQUIRED)
if(NOT TARGET quarn::curl)
    add_library(quarn::curl INTERFACE IMPORTED)
    target_link_libraries(quarn::curl INTERFACE CURL::libcurl)
endif()

find_path(QUARN_JSONCPP_INCLUDE json/json.h PATH_SUFFIXES jsoncpp REQUIRED)
find_library(QUARN_JSONCPP_LIBRARY NAMES jsoncpp REQUIRED)
if(NOT TARGET quarn::jsoncpp)
    add_library(quarn::jsoncpp INTERFACE IMPORTED)
    target_include_directories(quarn::jsoncpp INTERFACE ${QUARN_JSONCPP_INCLUDE})
    target_link_libraries(quarn::jsoncpp INTERFACE ${QUARN_JSONCPP_LIBRARY})
endif()

find_path(QUARN_TINYXML_INCLUDE tinyxml.h REQUIRED)
find_library(QUARN_TINYXML_LIBRARY NAMES tinyxml REQUIRED)
if(NOT TARGET quarn::tinyxml)
    add_library(quarn::tinyxml INTERFACE IMPORTED)
    target_include_directories(quarn::tinyxml INTERFACE ${QUARN_TINYXML_INCLUDE})
    target_link_libraries(quarn::tinyxml INTERFACE ${QUARN_TINYXML_LIBRARY})
    # Debian's build uses the STL interface; the header and library must agree.
    target_compile_definitions(quarn::tinyxml INTERFACE TIXML_USE_STL)
endif()
