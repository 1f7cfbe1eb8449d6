// Heap allocations made by this program, counted by standing in for malloc
// (bench/allocation_counter.cpp) while counting is on.
#pragma once

namespace glissor_bench {

void count_allocations(bool on);
long allocations_counted();
// False in a sanitized build, whose allocator cannot be stood in for.
bool allocations_countable();

}  // namespace glissor_bench
