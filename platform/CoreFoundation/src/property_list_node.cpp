// Value trees to and from libplist node trees.
//
// Integers are 64-bit: libplist keeps a negative integer as its two's
// complement in an unsigned 64-bit field, so the bits are reinterpreted, in
// both directions. Dates: libplist counts seconds from 2001-01-01 as we do,
// but hands them over as whole seconds and microseconds, the microseconds
// as a magnitude beside seconds truncated toward zero; so sub-microsecond
// parts are lost, and a moment less than a second before 2001-01-01 reads
// back as the same distance after it.
#include "property_list_internal.h"

#include "runtime.h"
#include "string_internal.h"
#include "string_storage.h"

#include <CFRef.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// Deeper trees are refused, so that neither a hostile file nor a container
// that holds itself can exhaust the stack.
constexpr int kMaxDepth = 512;

using Owned = CFRef<CFTypeRef>;

// Running out of memory for the standard containers here ends the process.
CFPropertyListRef value_from_node(plist_t node, bool mutable_containers, int depth) noexcept;

CFPropertyListRef string_from_node(plist_t node) {
    uint64_t length = 0;
    const char *text = plist_get_string_ptr(node, &length);
    if (!text) return nullptr;
    return cf::create_string_from_utf8(std::string_view(text, length));
}

CFPropertyListRef integer_from_node(plist_t node) {
    uint64_t bits = 0;
    plist_get_uint_val(node, &bits);
    auto value = static_cast<SInt64>(bits);  // two's complement, well defined
    return CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &value);
}

CFPropertyListRef real_from_node(plist_t node) {
    double value = 0;
    plist_get_real_val(node, &value);
    return CFNumberCreate(kCFAllocatorDefault, kCFNumberFloat64Type, &value);
}

CFPropertyListRef date_from_node(plist_t node) {
    int32_t seconds = 0, microseconds = 0;
    plist_get_date_val(node, &seconds, &microseconds);
    double fraction = std::fabs(static_cast<double>(microseconds)) / 1e6;
    double at = seconds < 0 ? seconds - fraction : seconds + fraction;
    return CFDateCreate(kCFAllocatorDefault, at);
}

CFPropertyListRef data_from_node(plist_t node) {
    uint64_t length = 0;
    const char *bytes = plist_get_data_ptr(node, &length);
    if (!bytes && length > 0) return nullptr;
    return CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(bytes),
                        static_cast<CFIndex>(length));
}

CFPropertyListRef array_from_node(plist_t node, bool mutable_containers, int depth) {
    uint32_t count = plist_array_get_size(node);
    std::vector<Owned> items;
    std::vector<const void *> values;
    for (uint32_t i = 0; i < count; ++i) {
        items.push_back(Owned::adopt(value_from_node(plist_array_get_item(node, i),
                                                     mutable_containers, depth + 1)));
        if (!items.back()) return nullptr;
        values.push_back(items.back().get());
    }
    auto array = CFRef<CFArrayRef>::adopt(CFArrayCreate(kCFAllocatorDefault, values.data(),
                                                        static_cast<CFIndex>(count),
                                                        &kCFTypeArrayCallBacks));
    if (!array || !mutable_containers) return array.release();
    return CFArrayCreateMutableCopy(kCFAllocatorDefault, 0, array.get());
}

// The entries of a dictionary node, each key and value owned; false when one
// cannot be made.
bool read_entries(plist_t node, bool mutable_containers, int depth, std::vector<Owned> &keys,
                  std::vector<Owned> &values) {
    plist_dict_iter iterator = nullptr;
    plist_dict_new_iter(node, &iterator);
    if (!iterator) return false;
    bool complete = true;
    for (;;) {
        char *key = nullptr;
        plist_t item = nullptr;
        plist_dict_next_item(node, iterator, &key, &item);
        if (!item) {
            free(key);
            break;
        }
        keys.push_back(Owned::adopt(key ? cf::create_string_from_utf8(key) : nullptr));
        free(key);
        values.push_back(Owned::adopt(value_from_node(item, mutable_containers, depth + 1)));
        if (!keys.back() || !values.back()) {
            complete = false;
            break;
        }
    }
    free(iterator);
    return complete;
}

CFPropertyListRef dictionary_from_node(plist_t node, bool mutable_containers, int depth) {
    std::vector<Owned> keys, values;
    if (!read_entries(node, mutable_containers, depth, keys, values)) return nullptr;
    std::vector<const void *> key_refs, value_refs;
    for (size_t i = 0; i < keys.size(); ++i) {
        key_refs.push_back(keys[i].get());
        value_refs.push_back(values[i].get());
    }
    auto dictionary = CFRef<CFDictionaryRef>::adopt(CFDictionaryCreate(
        kCFAllocatorDefault, key_refs.data(), value_refs.data(), static_cast<CFIndex>(keys.size()),
        &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    if (!dictionary || !mutable_containers) return dictionary.release();
    return CFDictionaryCreateMutableCopy(kCFAllocatorDefault, 0, dictionary.get());
}

CFPropertyListRef value_from_node(plist_t node, bool mutable_containers, int depth) noexcept {
    if (!node || depth > kMaxDepth) return nullptr;
    switch (plist_get_node_type(node)) {
        case PLIST_BOOLEAN: {
            uint8_t value = 0;
            plist_get_bool_val(node, &value);
            return value ? kCFBooleanTrue : kCFBooleanFalse;
        }
        case PLIST_UINT: return integer_from_node(node);
        case PLIST_REAL: return real_from_node(node);
        case PLIST_STRING: return string_from_node(node);
        case PLIST_DATE: return date_from_node(node);
        case PLIST_DATA: return data_from_node(node);
        case PLIST_ARRAY: return array_from_node(node, mutable_containers, depth);
        case PLIST_DICT: return dictionary_from_node(node, mutable_containers, depth);
        default: return nullptr;  // a key alone, a UID: no value type holds them
    }
}

// --- values to nodes ---

using OwnedNode = std::unique_ptr<void, decltype(&plist_free)>;

OwnedNode owned_node(plist_t node) { return OwnedNode(node, plist_free); }

plist_t node_from_value(CFTypeRef value, int depth) noexcept;

// libplist takes text NUL-terminated, so a string holding U+0000 cannot be
// written without losing what follows it.
plist_t string_node(CFStringRef string) {
    const char *text = _CFStringGetUTF8(string);
    if (strlen(text) != _CFStringGetUTF8Length(string)) return nullptr;
    return plist_new_string(text);
}

// A Float32 number is written as the real holding the same value, so it
// reads back bit for bit (libplist writes reals with 17 significant digits;
// _CFPropertyListCopyXMLText restores the sign of a negative zero).
plist_t number_node(CFNumberRef number) {
    if (CFNumberIsFloatType(number)) {
        double value = 0;
        CFNumberGetValue(number, kCFNumberFloat64Type, &value);
        return plist_new_real(value);
    }
    SInt64 value = 0;
    CFNumberGetValue(number, kCFNumberSInt64Type, &value);
    return plist_new_uint(static_cast<uint64_t>(value));
}

// NULL for a moment whose seconds do not fit the format's 32 bits.
plist_t date_node(CFDateRef date) {
    double at = CFDateGetAbsoluteTime(date);
    if (!std::isfinite(at) || std::fabs(at) > 2147483648.0) return nullptr;
    double micro = std::round(at * 1e6);  // whole microseconds, exact at this size
    double seconds = std::trunc(micro / 1e6);
    double rest = micro - seconds * 1e6;  // same sign as at
    if (seconds > INT32_MAX || seconds < INT32_MIN) return nullptr;
    return plist_new_date(static_cast<int32_t>(seconds), static_cast<int32_t>(rest));
}

plist_t data_node(CFDataRef data) {
    return plist_new_data(reinterpret_cast<const char *>(CFDataGetBytePtr(data)),
                          static_cast<uint64_t>(CFDataGetLength(data)));
}

plist_t array_node(CFArrayRef array, int depth) {
    OwnedNode node = owned_node(plist_new_array());
    if (!node) return nullptr;
    for (CFIndex i = 0, count = CFArrayGetCount(array); i < count; ++i) {
        plist_t item = node_from_value(CFArrayGetValueAtIndex(array, i), depth + 1);
        if (!item) return nullptr;
        plist_array_append_item(node.get(), item);
    }
    return node.release();
}

plist_t dictionary_node(CFDictionaryRef dictionary, int depth) {
    OwnedNode node = owned_node(plist_new_dict());
    if (!node) return nullptr;
    auto count = static_cast<size_t>(CFDictionaryGetCount(dictionary));
    std::vector<const void *> keys(count), values(count);
    CFDictionaryGetKeysAndValues(dictionary, keys.data(), values.data());
    for (size_t i = 0; i < count; ++i) {
        if (!keys[i] || !cf::is_live_value(keys[i]) || CFGetTypeID(keys[i]) != CFStringGetTypeID()) {
            return nullptr;
        }
        auto key = static_cast<CFStringRef>(keys[i]);
        if (strlen(_CFStringGetUTF8(key)) != _CFStringGetUTF8Length(key)) return nullptr;
        plist_t item = node_from_value(values[i], depth + 1);
        if (!item) return nullptr;
        plist_dict_set_item(node.get(), _CFStringGetUTF8(key), item);
    }
    return node.release();
}

plist_t node_from_value(CFTypeRef value, int depth) noexcept {
    // Containers made without callbacks may hold pointers that are not values.
    if (!value || depth > kMaxDepth || !cf::is_live_value(value)) return nullptr;
    CFTypeID type = CFGetTypeID(value);
    if (type == CFStringGetTypeID()) return string_node(static_cast<CFStringRef>(value));
    if (type == CFBooleanGetTypeID()) {
        return plist_new_bool(CFBooleanGetValue(static_cast<CFBooleanRef>(value)));
    }
    if (type == CFNumberGetTypeID()) return number_node(static_cast<CFNumberRef>(value));
    if (type == CFDateGetTypeID()) return date_node(static_cast<CFDateRef>(value));
    if (type == CFDataGetTypeID()) return data_node(static_cast<CFDataRef>(value));
    if (type == CFArrayGetTypeID()) return array_node(static_cast<CFArrayRef>(value), depth);
    if (type == CFDictionaryGetTypeID()) {
        return dictionary_node(static_cast<CFDictionaryRef>(value), depth);
    }
    return nullptr;
}

}  // namespace

CFPropertyListRef _CFPropertyListCreateFromNode(plist_t node, CFOptionFlags mutability) {
    // Every leaf type is immutable here, so kCFPropertyListMutableContainersAndLeaves
    // makes mutable containers only.
    bool mutable_containers = (mutability & (kCFPropertyListMutableContainers |
                                             kCFPropertyListMutableContainersAndLeaves)) != 0;
    return value_from_node(node, mutable_containers, 0);
}

plist_t _CFPropertyListCreateNode(CFPropertyListRef value) { return node_from_value(value, 0); }
