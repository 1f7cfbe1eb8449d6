// Value memory, the set of live values, and the test hooks over them.
//
// Every value made by create_value passes one counter, which the fault
// injector watches, and enters the live set; CFRelease and CFRetain consult
// that set, so releasing a value that is already freed is caught by name
// instead of corrupting memory.
#include "runtime.h"

#include <CoreFoundation/CFTesting.h>

#include <mutex>
#include <unordered_set>

namespace cf {
namespace {

std::atomic<CFIndex> g_allocations{0};
// The allocation number that is to fail, 0 when none.
std::atomic<CFIndex> g_fail_at{0};
// Values made and not yet freed, immortal ones excluded.
std::atomic<CFIndex> g_live{0};

struct LiveSet {
    std::mutex mutex;
    std::unordered_set<const void *> values;
};

LiveSet &live_set() {
    // Never destroyed: values may be released from other libraries' static
    // destructors, after this library's own statics are gone.
    static LiveSet *set = [] {
        auto *made = new LiveSet;
        made->values.insert(kCFBooleanTrue);
        made->values.insert(kCFBooleanFalse);
        made->values.insert(kCFAllocatorSystemDefault);
        return made;
    }();
    return *set;
}

bool take_injected_failure(CFIndex allocation) {
    CFIndex target = g_fail_at.load();
    return target != 0 && target == allocation && g_fail_at.compare_exchange_strong(target, 0);
}

}  // namespace

void *allocate_value(size_t size) noexcept {
    CFIndex allocation = ++g_allocations;
    if (take_injected_failure(allocation)) return nullptr;
    return ::operator new(size, std::nothrow);
}

void *allocate_immortal(size_t size) noexcept {
    void *memory = ::operator new(size, std::nothrow);
    if (!memory) fatal("CFSTR", "out of memory for a constant");
    return memory;
}

void free_value_memory(void *memory) noexcept { ::operator delete(memory); }

bool track_value(RuntimeBase *value) noexcept {
    LiveSet &set = live_set();
    try {
        std::lock_guard lock(set.mutex);
        set.values.insert(value);
    } catch (const std::bad_alloc &) {
        return false;
    }
    ++g_live;
    return true;
}

void track_immortal(RuntimeBase *value) noexcept {
    LiveSet &set = live_set();
    std::lock_guard lock(set.mutex);
    set.values.insert(value);
}

void untrack_value(RuntimeBase *value) noexcept {
    LiveSet &set = live_set();
    {
        std::lock_guard lock(set.mutex);
        set.values.erase(value);
    }
    --g_live;
}

bool is_live_value(const void *pointer) noexcept {
    LiveSet &set = live_set();
    std::lock_guard lock(set.mutex);
    return set.values.count(pointer) != 0;
}

}  // namespace cf

CFIndex CFTestingLiveValueCount(void) { return cf::g_live.load(); }

void CFTestingFailAllocation(CFIndex nth) {
    cf::g_fail_at.store(nth > 0 ? cf::g_allocations.load() + nth : 0);
}

CFIndex CFTestingAllocationCount(void) { return cf::g_allocations.load(); }
