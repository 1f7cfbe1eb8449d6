// The event status calls allocate nothing: the pane calls them on every
// slider movement. malloc is counted by standing in for it in this program,
// so the test only means something without the sanitizers' allocator.
#include <IOKit/hidsystem/IOHIDLib.h>
#include <IOKit/hidsystem/event_status_driver.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>

#include "event_daemon.h"

extern "C" {
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *pointer, size_t size);
void *__libc_memalign(size_t alignment, size_t size);
}

namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
}  // namespace

#ifndef GLISSOR_SANITIZED
namespace {
void note_allocation() {
    if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
}
}  // namespace

extern "C" {
void *malloc(size_t size) noexcept {
    note_allocation();
    return __libc_malloc(size);
}
void *calloc(size_t count, size_t size) noexcept {
    note_allocation();
    return __libc_calloc(count, size);
}
void *realloc(void *pointer, size_t size) noexcept {
    note_allocation();
    return __libc_realloc(pointer, size);
}
void *aligned_alloc(size_t alignment, size_t size) noexcept {
    note_allocation();
    return __libc_memalign(alignment, size);
}
}
#endif

namespace {

// One slider movement's worth of calls. The keys are made once beforehand:
// this counts the library's allocations, not those of making a CFSTR.
bool apply_once(CFStringRef mouse_key, CFStringRef trackpad_key, std::int32_t mouse, std::int32_t trackpad) {
    NXEventHandle handle = NXOpenEventStatus();
    if (!handle) return false;
    bool ok = IOHIDSetMouseAcceleration(handle, mouse / 65536.0) == KERN_SUCCESS &&
              IOHIDSetParameter(handle, mouse_key, &mouse, sizeof mouse) == KERN_SUCCESS &&
              IOHIDSetParameter(handle, trackpad_key, &trackpad, sizeof trackpad) ==
                  KERN_SUCCESS;
    NXCloseEventStatus(handle);
    return ok;
}

TEST(IOKitAllocation, OpeningSettingAndClosingAllocateNothing) {
#ifdef GLISSOR_SANITIZED
    GTEST_SKIP() << "the sanitizers own malloc in this build";
#endif
    glissor_test::EventDaemon daemon;
    CFStringRef mouse_key = CFSTR(kIOHIDMouseAccelerationType);
    CFStringRef trackpad_key = CFSTR(kIOHIDTrackpadAccelerationType);
    ASSERT_TRUE(apply_once(mouse_key, trackpad_key, 1, 1));  // binds the symbols

    // The counter itself must see allocations, or a zero below means nothing.
    counting = true;
    void *probe = std::malloc(16);
    counting = false;
    std::free(probe);
    ASSERT_EQ(allocations.exchange(0), 1);

    int failures = 0;
    counting = true;
    for (std::int32_t i = 0; i < 50; ++i) failures += apply_once(mouse_key, trackpad_key, 65536 + i, 32768 + i) ? 0 : 1;
    counting = false;
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(allocations.load(), 0);
    EXPECT_EQ(daemon.get("HIDTrackpadAcceleration"), std::to_string(32768 + 49));
}

}  // namespace
