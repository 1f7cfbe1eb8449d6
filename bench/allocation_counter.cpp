#include "allocation_counter.h"

#include <atomic>
#include <cstddef>

extern "C" {
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *pointer, size_t size);
void *__libc_memalign(size_t alignment, size_t size);
}

namespace {
std::atomic<bool> counting{false};
std::atomic<long> counted{0};

[[maybe_unused]] void note_allocation() {
    if (counting.load(std::memory_order_relaxed)) counted.fetch_add(1, std::memory_order_relaxed);
}
}  // namespace

namespace glissor_bench {
void count_allocations(bool on) { counting = on; }
long allocations_counted() { return counted.load(); }
#ifdef GLISSOR_SANITIZED
bool allocations_countable() { return false; }
#else
bool allocations_countable() { return true; }
#endif
}  // namespace glissor_bench

// The sanitizers own malloc in their build.
#ifndef GLISSOR_SANITIZED
extern "C" {
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
#endif
