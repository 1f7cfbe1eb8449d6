// The shared calls of every value: retain and release, type, equality,
// hashing and description, each dispatched through the type's class table.
#include "runtime.h"

#include "string_internal.h"

namespace cf {
namespace {

// The class tables, each registered once, by its fixed type id.
const RuntimeClass *const kClasses[kTypeIDCount] = {
    nullptr,          &kAllocatorClass,  &kStringClass, &kBooleanClass, &kNumberClass,
    &kArrayClass,     &kDictionaryClass, &kDataClass,   &kDateClass,
};

const RuntimeBase *live_base(CFTypeRef value, const char *function) {
    if (!value) fatal(function, "NULL reference");
    if (!is_live_value(value)) {
        fatal(function, "%p is not a live value (over-released, or never made)", value);
    }
    return static_cast<const RuntimeBase *>(value);
}

const RuntimeBase *any_base(CFTypeRef value, const char *function) {
    if (!value) fatal(function, "NULL reference");
    const auto *base = static_cast<const RuntimeBase *>(value);
    if (!class_of(base->type_id)) fatal(function, "%p is not a value", value);
    return base;
}

void free_value(RuntimeBase *value) {
    // Forgotten first: a release of this value from inside its own
    // destructor is then reported as the over-release it is.
    untrack_value(value);
    class_of(value->type_id)->finalize(value);
    free_value_memory(value);
}

}  // namespace

const RuntimeClass *class_of(CFTypeID type_id) {
    return type_id < kTypeIDCount ? kClasses[type_id] : nullptr;
}

const void *retain_callback(CFAllocatorRef, const void *value) { return CFRetain(value); }

void release_callback(CFAllocatorRef, const void *value) { CFRelease(value); }

CFHashCode mix_hash(uint64_t value) {
    value ^= value >> 33;
    value *= 0xff51afd7ed558ccdULL;
    value ^= value >> 33;
    value *= 0xc4ceb9fe1a85ec53ULL;
    value ^= value >> 33;
    return static_cast<CFHashCode>(value);
}

CFHashCode hash_bytes(const void *bytes, size_t length) {
    const auto *byte = static_cast<const unsigned char *>(bytes);
    uint64_t hash = 0xcbf29ce484222325ULL;
    for (size_t i = 0; i < length; ++i) {
        hash ^= byte[i];
        hash *= 0x100000001b3ULL;
    }
    return static_cast<CFHashCode>(hash);
}

}  // namespace cf

CFTypeRef CFRetain(CFTypeRef cf) {
    const cf::RuntimeBase *base = cf::live_base(cf, "CFRetain");
    if (base->immortal) return cf;
    auto *value = const_cast<cf::RuntimeBase *>(base);
    CFIndex before = value->retain_count.fetch_add(1, std::memory_order_relaxed);
    if (before <= 0) cf::fatal("CFRetain", "%p has retain count %ld", cf, before);
    return cf;
}

void CFRelease(CFTypeRef cf) {
    const cf::RuntimeBase *base = cf::live_base(cf, "CFRelease");
    if (base->immortal) return;
    auto *value = const_cast<cf::RuntimeBase *>(base);
    CFIndex before = value->retain_count.fetch_sub(1, std::memory_order_acq_rel);
    if (before <= 0) cf::fatal("CFRelease", "over-release of %p (retain count %ld)", cf, before);
    if (before == 1) cf::free_value(value);
}

CFIndex CFGetRetainCount(CFTypeRef cf) {
    const cf::RuntimeBase *base = cf::live_base(cf, "CFGetRetainCount");
    return base->immortal ? cf::kImmortalRetainCount : base->retain_count.load();
}

CFTypeID CFGetTypeID(CFTypeRef cf) { return cf::any_base(cf, "CFGetTypeID")->type_id; }

Boolean CFEqual(CFTypeRef cf1, CFTypeRef cf2) {
    const cf::RuntimeBase *first = cf::any_base(cf1, "CFEqual");
    const cf::RuntimeBase *second = cf::any_base(cf2, "CFEqual");
    if (first == second) return true;
    if (first->type_id != second->type_id) return false;
    return cf::class_of(first->type_id)->equal(cf1, cf2);
}

CFHashCode CFHash(CFTypeRef cf) {
    const cf::RuntimeBase *base = cf::any_base(cf, "CFHash");
    return cf::class_of(base->type_id)->hash(cf);
}

CFStringRef CFCopyDescription(CFTypeRef cf) {
    const cf::RuntimeBase *base = cf::any_base(cf, "CFCopyDescription");
    return cf::class_of(base->type_id)->copy_description(cf);
}

CFStringRef CFCopyTypeIDDescription(CFTypeID type_id) {
    const cf::RuntimeClass *type_class = cf::class_of(type_id);
    // A constant: releasing it, as the caller will, leaves it alone.
    return type_class ? __CFStringMakeConstantString(type_class->name) : nullptr;
}
