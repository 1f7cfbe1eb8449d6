#include "allocation_counter.h"

#include <atomic>
#include <cstddef>

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
#include "malloc_interposers.h"
#endif
