// Allocators. The stand-in has one heap, so an allocator argument only
// names it; kCFAllocatorDefault is NULL, as on the real platform.
#include "runtime.h"

#include "string_internal.h"

struct __CFAllocator : cf::RuntimeBase {
    constexpr __CFAllocator() : RuntimeBase(cf::kAllocatorTypeID, true) {}
};

namespace {

constinit __CFAllocator g_system_allocator;

Boolean allocator_equal(CFTypeRef, CFTypeRef) { return false; }
CFHashCode allocator_hash(CFTypeRef value) { return cf::mix_hash(reinterpret_cast<uintptr_t>(value)); }
CFStringRef allocator_copy_description(CFTypeRef) { return CFSTR("<CFAllocator system default>"); }

}  // namespace

const cf::RuntimeClass cf::kAllocatorClass = {
    "CFAllocator", nullptr, allocator_equal, allocator_hash, allocator_copy_description,
};

const CFAllocatorRef kCFAllocatorDefault = nullptr;
const CFAllocatorRef kCFAllocatorSystemDefault = &g_system_allocator;
