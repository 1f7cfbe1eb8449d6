// The heap calls, replaced so that each one is counted before glibc's own
// runs. The including file defines note_allocation() first; include this
// once per program or library, outside the sanitizer build (the sanitizers
// own malloc there).
#pragma once

#include <cstddef>

extern "C" {
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *pointer, size_t size);
void *__libc_memalign(size_t alignment, size_t size);

__attribute__((visibility("default"))) void *malloc(size_t size) noexcept {
    note_allocation();
    return __libc_malloc(size);
}
__attribute__((visibility("default"))) void *calloc(size_t count, size_t size) noexcept {
    note_allocation();
    return __libc_calloc(count, size);
}
__attribute__((visibility("default"))) void *realloc(void *pointer, size_t size) noexcept {
    note_allocation();
    return __libc_realloc(pointer, size);
}
__attribute__((visibility("default"))) void *aligned_alloc(size_t alignment, size_t size) noexcept {
    note_allocation();
    return __libc_memalign(alignment, size);
}
}
