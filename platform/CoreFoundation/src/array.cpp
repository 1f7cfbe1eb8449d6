// CFArray: an ordered list of values, retained and compared through the
// array's callbacks. An array is mutable or not from its making; a mutable
// one may have a fixed capacity.
#include "description.h"
#include "runtime.h"
#include "string_storage.h"

#include <vector>

namespace {

constexpr CFArrayCallBacks kNoCallBacks = {0, nullptr, nullptr, nullptr, nullptr};

}  // namespace

struct __CFArray : cf::RuntimeBase {
    __CFArray(const CFArrayCallBacks *array_callbacks, bool mutable_array, CFIndex max_count) noexcept
        : RuntimeBase(cf::kArrayTypeID),
          callbacks(array_callbacks ? *array_callbacks : kNoCallBacks),
          is_mutable(mutable_array),
          capacity(max_count) {}

    ~__CFArray() {
        for (const void *value : values) release(value);
    }

    CFIndex count() const { return static_cast<CFIndex>(values.size()); }

    const void *retain(const void *value) const {
        return callbacks.retain ? callbacks.retain(kCFAllocatorDefault, value) : value;
    }
    void release(const void *value) const {
        if (callbacks.release) callbacks.release(kCFAllocatorDefault, value);
    }
    bool equal(const void *a, const void *b) const {
        return a == b || (callbacks.equal && callbacks.equal(a, b));
    }

    // Growing the storage is not a value allocation: running out of memory
    // here ends the process, as it does on the real platform.
    void insert(CFIndex idx, const void *value) noexcept {
        values.insert(values.begin() + idx, retain(value));
    }

    const CFArrayCallBacks callbacks;
    const bool is_mutable;
    const CFIndex capacity;  // 0: unbounded
    std::vector<const void *> values;
};

namespace {

const __CFArray *checked_array(CFArrayRef array, const char *function) {
    return cf::checked<__CFArray>(array, cf::kArrayTypeID, function);
}

__CFArray *checked_mutable_array(CFMutableArrayRef array, const char *function) {
    auto *self = cf::checked_mutable<__CFArray>(array, cf::kArrayTypeID, function);
    if (!self->is_mutable) cf::fatal(function, "the array %p is immutable", static_cast<void *>(array));
    return self;
}

void check_index(const __CFArray *array, CFIndex idx, CFIndex limit, const char *function) {
    if (idx < 0 || idx > limit) {
        cf::fatal(function, "index %ld out of range (count %ld)", idx, array->count());
    }
}

void check_room(const __CFArray *array, CFIndex count, const char *function) {
    if (array->capacity != 0 && count > array->capacity) {
        cf::fatal(function, "%ld values exceed the capacity %ld", count, array->capacity);
    }
}

void check_capacity_argument(CFIndex capacity, const char *function) {
    if (capacity < 0) cf::fatal(function, "negative capacity %ld", capacity);
}

__CFArray *make_array(const CFArrayCallBacks *callbacks, bool is_mutable, CFIndex capacity,
                      const void *const *values, CFIndex count) noexcept {
    __CFArray *array = cf::create_value<__CFArray>(callbacks, is_mutable, capacity);
    if (!array) return nullptr;
    array->values.reserve(static_cast<size_t>(count));
    for (CFIndex i = 0; i < count; ++i) array->insert(i, values[i]);
    return array;
}

Boolean array_equal(CFTypeRef a, CFTypeRef b) {
    const auto *first = static_cast<const __CFArray *>(a);
    const auto *second = static_cast<const __CFArray *>(b);
    if (first->count() != second->count()) return false;
    for (size_t i = 0; i < first->values.size(); ++i) {
        if (!first->equal(first->values[i], second->values[i])) return false;
    }
    return true;
}

CFHashCode array_hash(CFTypeRef value) {
    return static_cast<CFHashCode>(static_cast<const __CFArray *>(value)->count());
}

CFStringRef array_copy_description(CFTypeRef value) {
    std::string text;
    if (!cf::append_array_listing(text, static_cast<CFArrayRef>(value), 0)) return nullptr;
    return cf::create_string_from_utf8(text);
}

}  // namespace

const cf::RuntimeClass cf::kArrayClass = {
    "CFArray", cf::destroy_value<__CFArray>, array_equal, array_hash, array_copy_description,
};

bool cf::append_array_listing(std::string &out, CFArrayRef array, int level) noexcept {
    const std::vector<const void *> &values = array->values;
    out += "(\n";
    for (size_t i = 0; i < values.size(); ++i) {
        append_indent(out, level + 1);
        if (!append_element_text(out, values[i], array->callbacks.copyDescription, level + 1)) {
            return false;
        }
        out += i + 1 < values.size() ? ",\n" : "\n";
    }
    append_indent(out, level);
    out += ')';
    return true;
}

const CFArrayCallBacks kCFTypeArrayCallBacks = {
    0, cf::retain_callback, cf::release_callback, CFCopyDescription, CFEqual,
};

CFTypeID CFArrayGetTypeID(void) { return cf::kArrayTypeID; }

CFArrayRef CFArrayCreate(CFAllocatorRef, const void **values, CFIndex numValues,
                         const CFArrayCallBacks *callBacks) {
    if (numValues < 0) cf::fatal("CFArrayCreate", "negative count %ld", numValues);
    if (!values && numValues > 0) cf::fatal("CFArrayCreate", "NULL values for %ld", numValues);
    return make_array(callBacks, false, 0, values, numValues);
}

// An immutable array is its own immutable copy.
CFArrayRef CFArrayCreateCopy(CFAllocatorRef, CFArrayRef theArray) {
    const __CFArray *source = checked_array(theArray, "CFArrayCreateCopy");
    if (!source->is_mutable) return static_cast<CFArrayRef>(CFRetain(source));
    return make_array(&source->callbacks, false, 0, source->values.data(), source->count());
}

CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef, CFIndex capacity,
                                       const CFArrayCallBacks *callBacks) {
    check_capacity_argument(capacity, "CFArrayCreateMutable");
    return make_array(callBacks, true, capacity, nullptr, 0);
}

CFMutableArrayRef CFArrayCreateMutableCopy(CFAllocatorRef, CFIndex capacity, CFArrayRef theArray) {
    const char *function = "CFArrayCreateMutableCopy";
    const __CFArray *source = checked_array(theArray, function);
    check_capacity_argument(capacity, function);
    if (capacity != 0 && source->count() > capacity) {
        cf::fatal(function, "%ld values exceed the capacity %ld", source->count(), capacity);
    }
    return make_array(&source->callbacks, true, capacity, source->values.data(), source->count());
}

bool cf::is_mutable_array(CFArrayRef array) { return checked_array(array, "cf::is_mutable_array")->is_mutable; }

CFIndex CFArrayGetCount(CFArrayRef theArray) {
    return checked_array(theArray, "CFArrayGetCount")->count();
}

const void *CFArrayGetValueAtIndex(CFArrayRef theArray, CFIndex idx) {
    const __CFArray *array = checked_array(theArray, "CFArrayGetValueAtIndex");
    check_index(array, idx, array->count() - 1, "CFArrayGetValueAtIndex");
    return array->values[static_cast<size_t>(idx)];
}

Boolean CFArrayContainsValue(CFArrayRef theArray, CFRange range, const void *value) {
    const __CFArray *array = checked_array(theArray, "CFArrayContainsValue");
    if (range.location < 0 || range.length < 0 || range.location > array->count() ||
        range.length > array->count() - range.location) {
        cf::fatal("CFArrayContainsValue", "range {%ld, %ld} out of range (count %ld)",
                  range.location, range.length, array->count());
    }
    for (CFIndex i = range.location; i < range.location + range.length; ++i) {
        if (array->equal(array->values[static_cast<size_t>(i)], value)) return true;
    }
    return false;
}

void CFArrayAppendValue(CFMutableArrayRef theArray, const void *value) {
    __CFArray *array = checked_mutable_array(theArray, "CFArrayAppendValue");
    check_room(array, array->count() + 1, "CFArrayAppendValue");
    array->insert(array->count(), value);
}

void CFArrayInsertValueAtIndex(CFMutableArrayRef theArray, CFIndex idx, const void *value) {
    __CFArray *array = checked_mutable_array(theArray, "CFArrayInsertValueAtIndex");
    check_index(array, idx, array->count(), "CFArrayInsertValueAtIndex");
    check_room(array, array->count() + 1, "CFArrayInsertValueAtIndex");
    array->insert(idx, value);
}

// An index equal to the count appends.
void CFArraySetValueAtIndex(CFMutableArrayRef theArray, CFIndex idx, const void *value) {
    __CFArray *array = checked_mutable_array(theArray, "CFArraySetValueAtIndex");
    check_index(array, idx, array->count(), "CFArraySetValueAtIndex");
    if (idx == array->count()) {
        check_room(array, array->count() + 1, "CFArraySetValueAtIndex");
        array->insert(idx, value);
        return;
    }
    // Retained before the old one goes, in case they are the same value.
    const void *retained = array->retain(value);
    const void *old = array->values[static_cast<size_t>(idx)];
    array->values[static_cast<size_t>(idx)] = retained;
    array->release(old);
}

void CFArrayRemoveValueAtIndex(CFMutableArrayRef theArray, CFIndex idx) {
    __CFArray *array = checked_mutable_array(theArray, "CFArrayRemoveValueAtIndex");
    check_index(array, idx, array->count() - 1, "CFArrayRemoveValueAtIndex");
    const void *old = array->values[static_cast<size_t>(idx)];
    array->values.erase(array->values.begin() + idx);
    array->release(old);
}

void CFArrayRemoveAllValues(CFMutableArrayRef theArray) {
    __CFArray *array = checked_mutable_array(theArray, "CFArrayRemoveAllValues");
    std::vector<const void *> old;
    old.swap(array->values);
    for (const void *value : old) array->release(value);
}
