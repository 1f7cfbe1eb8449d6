// Value memory, the count and set of live values, and the test hooks over
// them.
//
// Every value made by create_value passes one counter, which the fault
// injector watches, and is counted live until freed. Where a process asks
// for it (CF_CHECK_LIVE_VALUES=1 in its environment, as the test suites
// run), values also enter the live set, which CFRelease and CFRetain
// consult: releasing a value that is already freed is then caught by name
// instead of corrupting memory. The set is a locked hash table that every
// value's making and freeing passes through, about a fifth of the time of a
// preference read, so other processes do without it.
#include "runtime.h"

#include <CoreFoundation/CFTesting.h>

#include <cstdlib>
#include <cstring>
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

// Decided once, before the first value is made, so that every value of the
// process is in the set or none is.
bool keeps_live_set() {
    static const bool keeps = [] {
        const char *setting = std::getenv("CF_CHECK_LIVE_VALUES");
        return setting && std::strcmp(setting, "1") == 0;
    }();
    return keeps;
}

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
    if (keeps_live_set()) {
        LiveSet &set = live_set();
        try {
            std::lock_guard lock(set.mutex);
            set.values.insert(value);
        } catch (const std::bad_alloc &) {
            return false;
        }
    }
    g_live.fetch_add(1, std::memory_order_relaxed);
    return true;
}

void track_immortal(RuntimeBase *value) noexcept {
    if (!keeps_live_set()) return;
    LiveSet &set = live_set();
    std::lock_guard lock(set.mutex);
    set.values.insert(value);
}

void untrack_value(RuntimeBase *value) noexcept {
    if (keeps_live_set()) {
        LiveSet &set = live_set();
        std::lock_guard lock(set.mutex);
        set.values.erase(value);
    }
    g_live.fetch_sub(1, std::memory_order_relaxed);
}

bool is_live_value(const void *pointer) noexcept {
    // Without the set, a pointer is taken for what the caller says it is:
    // releasing a freed value is then undefined, as on the real platform.
    if (!keeps_live_set()) return pointer != nullptr;
    LiveSet &set = live_set();
    std::lock_guard lock(set.mutex);
    return set.values.count(pointer) != 0;
}

}  // namespace cf

CFIndex CFTestingLiveValueCount(void) { return cf::g_live.load(); }

Boolean CFTestingChecksLiveValues(void) { return cf::keeps_live_set(); }

void CFTestingFailAllocation(CFIndex nth) {
    cf::g_fail_at.store(nth > 0 ? cf::g_allocations.load() + nth : 0);
}

CFIndex CFTestingAllocationCount(void) { return cf::g_allocations.load(); }
