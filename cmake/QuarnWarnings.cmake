# Common compile settings for every target of the project.
add_compile_options(-Wall -Wextra -Wno-unused-parameter)

if(WIN32)
    add_compile_definitions(UNICODE _UNICODE NOMINMAX _WIN32_WINNT=0x0601)
    # No MinGW runtime DLLs beside the programs: link everything static.
    add_link_options(-static -static-libgcc -static-libstdc++)
elseif(QUARN_SANITIZE)
    add_compile_options(-fsanitize=${QUARN_SANITIZE} -fno-omit-frame-pointer -g)
    add_link_options(-fsanitize=${QUARN_SANITIZE})
endif()
