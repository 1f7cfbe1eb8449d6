// The codec's entry points: the format is chosen from the bytes, allocation
// failures become a status (nothing is thrown to callers), and the
// containers both readers build are made here.
#include "property_list_codec.h"

#include "property_list_codec_internal.h"

#include "runtime.h"

#include <new>
#include <unordered_map>

namespace cfplist {
namespace detail {

CFArrayRef make_array(const std::vector<Owned> &items) {
    std::vector<const void *> values;
    values.reserve(items.size());
    for (const Owned &item : items) values.push_back(item.get());
    return CFArrayCreate(kCFAllocatorDefault, values.data(), static_cast<CFIndex>(values.size()),
                         &kCFTypeArrayCallBacks);
}

CFDictionaryRef make_dictionary(const std::vector<Owned> &keys, const std::vector<Owned> &values) {
    std::vector<const void *> key_refs, value_refs;
    key_refs.reserve(keys.size());
    value_refs.reserve(values.size());
    for (size_t i = 0; i < keys.size(); ++i) {
        key_refs.push_back(keys[i].get());
        value_refs.push_back(values[i].get());
    }
    return CFDictionaryCreate(kCFAllocatorDefault, key_refs.data(), value_refs.data(),
                              static_cast<CFIndex>(key_refs.size()), &kCFTypeDictionaryKeyCallBacks,
                              &kCFTypeDictionaryValueCallBacks);
}

CFPropertyListRef mutable_copy(CFPropertyListRef value, uint64_t &budget) {
    CFTypeID type = CFGetTypeID(value);
    if (type == CFArrayGetTypeID()) {
        auto array = static_cast<CFArrayRef>(value);
        CFIndex count = CFArrayGetCount(array);
        if (static_cast<uint64_t>(count) >= budget) return budget = 0, nullptr;
        budget -= static_cast<uint64_t>(count) + 1;
        auto copy = CFRef<CFMutableArrayRef>::adopt(CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks));
        for (CFIndex i = 0; copy && i < count; ++i) {
            auto item = Owned::adopt(mutable_copy(CFArrayGetValueAtIndex(array, i), budget));
            if (!item) return nullptr;
            CFArrayAppendValue(copy.get(), item.get());
        }
        return copy.release();
    }
    if (type == CFDictionaryGetTypeID()) {
        auto dictionary = static_cast<CFDictionaryRef>(value);
        auto count = static_cast<size_t>(CFDictionaryGetCount(dictionary));
        if (count >= budget) return budget = 0, nullptr;
        budget -= count + 1;
        std::vector<const void *> keys(count), values(count);
        CFDictionaryGetKeysAndValues(dictionary, keys.data(), values.data());
        auto copy = CFRef<CFMutableDictionaryRef>::adopt(CFDictionaryCreateMutable(
            kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
        for (size_t i = 0; copy && i < count; ++i) {
            auto item = Owned::adopt(mutable_copy(values[i], budget));
            if (!item) return nullptr;
            CFDictionarySetValue(copy.get(), keys[i], item.get());
        }
        return copy.release();
    }
    return CFRetain(value);
}

}  // namespace detail

namespace {

detail::Decoded decode(const void *bytes, size_t size, const detail::DecodeOptions &options) noexcept {
    if (!bytes || size == 0) return detail::Decoded{};
    if (size > detail::kMaxFileBytes) return detail::Decoded{detail::Owned(), DecodeStatus::OverLimit, 0};
    std::string_view text(static_cast<const char *>(bytes), size);
    try {
        return detail::is_binary(text) ? detail::decode_binary(text, options) : detail::decode_xml(text, options);
    } catch (const std::bad_alloc &) {
        return detail::Decoded{detail::Owned(), DecodeStatus::NoMemory, 0};
    }
}

template <typename Write>
bool encode(CFPropertyListRef value, std::string &out, Write write) noexcept {
    try {
        return value && write(value, out);
    } catch (const std::bad_alloc &) {
        return false;
    }
}

}  // namespace

CFPropertyListRef decode_value(const void *bytes, size_t size, CFOptionFlags mutability, DecodeStatus *status) {
    detail::DecodeOptions options;
    // Every leaf type is immutable here, so kCFPropertyListMutableContainersAndLeaves
    // makes mutable containers only.
    options.mutable_containers =
        (mutability & (kCFPropertyListMutableContainers | kCFPropertyListMutableContainersAndLeaves)) != 0;
    detail::Decoded decoded = decode(bytes, size, options);
    if (status) *status = decoded.status;
    return decoded.status == DecodeStatus::Ok ? decoded.value.release() : nullptr;
}

DomainContents decode_domain(const void *bytes, size_t size) {
    detail::DecodeOptions options;
    options.drop_over_limit_entries = true;
    detail::Decoded decoded = decode(bytes, size, options);
    DomainContents contents;
    contents.status = decoded.status;
    if (decoded.status != DecodeStatus::Ok) return contents;
    if (CFGetTypeID(decoded.value.get()) != CFDictionaryGetTypeID()) {
        contents.status = DecodeStatus::NotADictionary;
        return contents;
    }
    contents.dictionary = static_cast<CFDictionaryRef>(decoded.value.release());
    contents.omitted_entries = decoded.omitted_entries;
    return contents;
}

bool encode_xml(CFPropertyListRef value, std::string &out) {
    return encode(value, out, [](CFPropertyListRef v, std::string &o) { return detail::write_xml(v, o, false); });
}

bool can_encode_xml(CFPropertyListRef value) {
    std::string unused;
    return encode(value, unused, [](CFPropertyListRef v, std::string &) { return detail::can_write_xml(v); });
}

bool encode_binary(CFPropertyListRef value, std::string &out) { return encode(value, out, detail::write_binary); }

bool encode_for_file(CFPropertyListRef value, std::string &out) { return encode_for_file(value, out, {}); }

bool encode_for_file(CFPropertyListRef value, std::string &out, std::span<const PrewrittenValue> prewritten) {
    bool exact_xml = encode(value, out, [prewritten](CFPropertyListRef v, std::string &o) {
        return detail::write_xml(v, o, true, prewritten);
    });
    return exact_xml || encode_binary(value, out);
}

bool encode_entry_xml(CFPropertyListRef value, std::string &out) { return encode(value, out, detail::write_entry_xml); }

namespace {

// Why a writer refused the value, found by a walk of its own (an explicit
// stack, as the value may nest without bound or hold itself). Only called
// once both writers refused it, so it names the first thing a writer
// refuses; a value where it finds nothing was refused for its size.
std::string why_refused(CFPropertyListRef value, int depth) {
    struct Place {
        CFTypeRef value;
        int depth;
    };
    std::vector<Place> to_visit{{value, depth}};
    // The deepest place each container was seen at: seen again no deeper,
    // its contents were already checked from there.
    std::unordered_map<CFTypeRef, int> deepest;
    while (!to_visit.empty()) {
        Place place = to_visit.back();
        to_visit.pop_back();
        if (!place.value || !cf::is_live_value(place.value)) return "it holds something that is not a value";
        if (place.depth > detail::kMaxDepth)
            return "it is nested deeper than " + std::to_string(detail::kMaxDepth) + " containers";
        CFTypeID type = CFGetTypeID(place.value);
        if (type == CFDateGetTypeID()) {
            if (!detail::is_storable_date(CFDateGetAbsoluteTime(static_cast<CFDateRef>(place.value))))
                return "it holds a date outside the years 1 to 9999";
            continue;
        }
        if (type == CFStringGetTypeID() || type == CFNumberGetTypeID() || type == CFBooleanGetTypeID() ||
            type == CFDataGetTypeID())
            continue;
        if (type != CFArrayGetTypeID() && type != CFDictionaryGetTypeID())
            return "it holds a value of a type no property list can hold";
        auto seen = deepest.find(place.value);
        if (seen != deepest.end() && seen->second >= place.depth) continue;
        deepest[place.value] = place.depth;
        if (type == CFArrayGetTypeID()) {
            auto array = static_cast<CFArrayRef>(place.value);
            for (CFIndex i = 0, count = CFArrayGetCount(array); i < count; ++i)
                to_visit.push_back({CFArrayGetValueAtIndex(array, i), place.depth + 1});
            continue;
        }
        auto dictionary = static_cast<CFDictionaryRef>(place.value);
        auto count = static_cast<size_t>(CFDictionaryGetCount(dictionary));
        std::vector<const void *> keys(count), values(count);
        CFDictionaryGetKeysAndValues(dictionary, keys.data(), values.data());
        for (size_t i = 0; i < count; ++i) {
            if (!keys[i] || !cf::is_live_value(keys[i]) || CFGetTypeID(keys[i]) != CFStringGetTypeID())
                return "it holds a dictionary key that is not a string";
            to_visit.push_back({values[i], place.depth + 1});
        }
    }
    return "its text would be larger than " + std::to_string(detail::kMaxFileBytes >> 20) + " MiB";
}

}  // namespace

std::string why_entry_cannot_be_written(CFPropertyListRef value) {
    if (!value) return "it is no value";
    try {
        // The value as it stands in a file: inside a one-entry dictionary.
        const void *key = CFSTR("k");
        auto entry = detail::Owned::adopt(CFDictionaryCreate(kCFAllocatorDefault, &key, &value, 1,
                                                             &kCFTypeDictionaryKeyCallBacks,
                                                             &kCFTypeDictionaryValueCallBacks));
        if (!entry) return "there is not enough memory to check it";
        std::string bytes;
        if (can_encode_xml(entry.get()) || encode_binary(entry.get(), bytes)) return {};
        return why_refused(value, 1);
    } catch (const std::bad_alloc &) {
        return "there is not enough memory to check it";
    }
}

bool is_binary_property_list(const void *bytes, size_t size) {
    return bytes && detail::is_binary(std::string_view(static_cast<const char *>(bytes), size));
}

}  // namespace cfplist
