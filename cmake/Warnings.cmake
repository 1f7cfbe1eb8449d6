# Warnings every target of the project builds with.
add_library(glissor_warnings INTERFACE)
target_compile_options(glissor_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wformat=2 -Wvla
    $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor -Wold-style-cast>)
if(GLISSOR_WERROR)
    target_compile_options(glissor_warnings INTERFACE -Werror)
endif()
