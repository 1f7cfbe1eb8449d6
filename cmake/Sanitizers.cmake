# The second build of `make test` runs everything under ASan and UBSan.
if(GLISSOR_SANITIZE)
    set(GLISSOR_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined
        -fno-omit-frame-pointer)
    add_compile_options(${GLISSOR_SANITIZER_FLAGS})
    add_link_options(${GLISSOR_SANITIZER_FLAGS})
    add_compile_definitions(GLISSOR_SANITIZED=1)
endif()

# `make fuzz`: everything instrumented for libFuzzer; the fuzz targets add
# the fuzzer's own main.
if(GLISSOR_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()
