// The value runtime: the header every value starts with, the class table of
// each type, and the making and checking of values.
//
// A value is a C++ object deriving from cf::RuntimeBase, so the header sits
// at the value's address and a CFTypeRef is a pointer to it. Values are made
// with cf::create_value (counted, may fail) or cf::create_immortal (never
// fails, never freed); CFRelease of the last reference runs the value's
// destructor, which releases what it holds, and frees the memory.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <atomic>
#include <cstdint>
#include <new>
#include <utility>

namespace cf {

// Type ids are fixed, so the static constants (the booleans, the system
// allocator) carry their id from the start, before any code has run.
enum TypeID : CFTypeID {
    kNotATypeID = 0,
    kAllocatorTypeID,
    kStringTypeID,
    kBooleanTypeID,
    kNumberTypeID,
    kArrayTypeID,
    kDictionaryTypeID,
    kDataTypeID,
    kDateTypeID,
    kTypeIDCount
};

// The retain count CFGetRetainCount reports for an immortal value.
inline constexpr CFIndex kImmortalRetainCount = 0x0FFFFFFFFFFFFFFF;

struct RuntimeBase {
    constexpr explicit RuntimeBase(CFTypeID id, bool is_immortal = false)
        : type_id(id), immortal(is_immortal) {}
    RuntimeBase(const RuntimeBase &) = delete;
    RuntimeBase &operator=(const RuntimeBase &) = delete;

    const CFTypeID type_id;
    std::atomic<CFIndex> retain_count{1};
    bool immortal;
    // Facts found about an immutable container's contents, kept so that they
    // are found once (see ValueMark); they sit in the header's padding.
    std::atomic<std::uint8_t> marks{0};
};

// A fact about an immutable container that nothing can make untrue later:
// its elements cannot be replaced, and the mark is only given when every
// element is itself beyond change.
enum ValueMark : std::uint8_t {
    kMarkHoldsNoMutableContainer = 1,  // immutable all the way down
};

inline bool has_mark(CFTypeRef value, ValueMark mark) {
    return (static_cast<const RuntimeBase *>(value)->marks.load(std::memory_order_relaxed) & mark) != 0;
}

inline void set_mark(CFTypeRef value, ValueMark mark) {
    auto *base = const_cast<RuntimeBase *>(static_cast<const RuntimeBase *>(value));
    base->marks.fetch_or(mark, std::memory_order_relaxed);
}

// What CFEqual, CFHash and CFCopyDescription do for one type. equal is only
// called with two values of the type; copy_description returns an owned
// string or NULL when it cannot be made.
struct RuntimeClass {
    const char *name;
    void (*finalize)(RuntimeBase *value);
    Boolean (*equal)(CFTypeRef a, CFTypeRef b);
    CFHashCode (*hash)(CFTypeRef value);
    CFStringRef (*copy_description)(CFTypeRef value);
};

// One table per type, defined in the type's own file.
extern const RuntimeClass kAllocatorClass;
extern const RuntimeClass kStringClass;
extern const RuntimeClass kBooleanClass;
extern const RuntimeClass kNumberClass;
extern const RuntimeClass kArrayClass;
extern const RuntimeClass kDictionaryClass;
extern const RuntimeClass kDataClass;
extern const RuntimeClass kDateClass;

// The class of a type id, or NULL for an id no type has.
const RuntimeClass *class_of(CFTypeID type_id);

// The finalize entry of a class: runs the value's destructor.
template <typename T>
void destroy_value(RuntimeBase *value) {
    static_cast<T *>(value)->~T();
}

// Raw memory for one value. allocate_value goes through the allocation
// counter and the fault injector and returns NULL when either fails.
void *allocate_value(size_t size) noexcept;
void *allocate_immortal(size_t size) noexcept;
void free_value_memory(void *memory) noexcept;
// Records a constructed value as live; false when that cannot be recorded.
bool track_value(RuntimeBase *value) noexcept;
void track_immortal(RuntimeBase *value) noexcept;
// Forgets a value that is about to be freed.
void untrack_value(RuntimeBase *value) noexcept;
// True when the pointer is a value that has been made and not yet freed
// (immortal ones included). Checked only where the process keeps the live
// set (CFTestingChecksLiveValues); elsewhere any non-NULL pointer passes.
bool is_live_value(const void *pointer) noexcept;

// A new value with one reference, owned by the caller; NULL when the
// allocation fails.
template <typename T, typename... Args>
T *create_value(Args &&...args) noexcept {
    void *memory = allocate_value(sizeof(T));
    if (!memory) return nullptr;
    T *value = new (memory) T(std::forward<Args>(args)...);
    if (!track_value(value)) {
        value->~T();
        free_value_memory(memory);
        return nullptr;
    }
    return value;
}

// A value that retain and release leave alone and that is never freed.
template <typename T, typename... Args>
T *create_immortal(Args &&...args) noexcept {
    T *value = new (allocate_immortal(sizeof(T))) T(std::forward<Args>(args)...);
    value->immortal = true;
    track_immortal(value);
    return value;
}

// Whether the container was made mutable (a Create...Mutable call).
bool is_mutable_array(CFArrayRef array);
bool is_mutable_dictionary(CFDictionaryRef dictionary);

// Stops the process: "CoreFoundation: <function>: <message>" on stderr,
// then abort(). For misuse that the real platform treats as a crash.
[[noreturn]] void fatal(const char *function, const char *format, ...)
    __attribute__((format(printf, 2, 3)));

// The name of a type id ("CFString"), "unknown type" when none has it.
const char *type_name(CFTypeID type_id);

// The value as its type, or a fatal error naming the function when it is
// NULL or of another type.
const RuntimeBase *checked_base(CFTypeRef value, CFTypeID type_id, const char *function);

template <typename T>
const T *checked(CFTypeRef value, CFTypeID type_id, const char *function) {
    return static_cast<const T *>(checked_base(value, type_id, function));
}

template <typename T>
T *checked_mutable(CFTypeRef value, CFTypeID type_id, const char *function) {
    return const_cast<T *>(checked<T>(value, type_id, function));
}

// The retain and release callbacks of the kCFType callback structs.
const void *retain_callback(CFAllocatorRef allocator, const void *value);
void release_callback(CFAllocatorRef allocator, const void *value);

// Mixes a 64-bit value into a well-spread hash code.
CFHashCode mix_hash(uint64_t value);
// FNV-1a over bytes.
CFHashCode hash_bytes(const void *bytes, size_t length);

}  // namespace cf
