// Property lists to and from their XML and binary file formats, through
// libplist.
#include "property_list_internal.h"

#include "runtime.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

bool is_file_format(CFPropertyListFormat format) {
    return format == kCFPropertyListXMLFormat_v1_0 || format == kCFPropertyListBinaryFormat_v1_0;
}

// The old OpenStep format holds strings, data, arrays and dictionaries only.
bool holds_only_openstep_types(CFTypeRef value) {
    CFTypeID type = CFGetTypeID(value);
    if (type == CFStringGetTypeID() || type == CFDataGetTypeID()) return true;
    if (type == CFArrayGetTypeID()) {
        auto array = static_cast<CFArrayRef>(value);
        for (CFIndex i = 0, count = CFArrayGetCount(array); i < count; ++i) {
            if (!holds_only_openstep_types(CFArrayGetValueAtIndex(array, i))) return false;
        }
        return true;
    }
    if (type == CFDictionaryGetTypeID()) {
        auto dictionary = static_cast<CFDictionaryRef>(value);
        std::vector<const void *> values(static_cast<size_t>(CFDictionaryGetCount(dictionary)));
        CFDictionaryGetKeysAndValues(dictionary, nullptr, values.data());
        for (const void *item : values) {
            if (!holds_only_openstep_types(item)) return false;
        }
        return true;
    }
    return false;
}

plist_t parse(const UInt8 *bytes, CFIndex length) noexcept {
    // A terminated copy: the parser then never reads past the end, whatever
    // the bytes hold.
    std::string text(reinterpret_cast<const char *>(bytes), static_cast<size_t>(length));
    plist_t root = nullptr;
    plist_from_memory(text.c_str(), static_cast<uint32_t>(text.size()), &root);
    return root;
}

CFDataRef serialize(plist_t root, CFPropertyListFormat format) noexcept {
    if (format == kCFPropertyListXMLFormat_v1_0) {
        std::string text = _CFPropertyListCopyXMLText(root);
        if (text.empty()) return nullptr;
        return CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(text.data()),
                            static_cast<CFIndex>(text.size()));
    }
    char *bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &bytes, &length);
    if (!bytes) return nullptr;
    CFDataRef data = CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(bytes), length);
    plist_to_bin_free(bytes);
    return data;
}

}  // namespace

CFPropertyListRef CFPropertyListCreateWithData(CFAllocatorRef, CFDataRef data, CFOptionFlags options,
                                               CFPropertyListFormat *format, CFErrorRef *error) {
    if (error) *error = nullptr;
    if (!data) return nullptr;
    CFIndex length = CFDataGetLength(data);
    if (length == 0 || static_cast<uint64_t>(length) >= UINT32_MAX) return nullptr;
    const UInt8 *bytes = CFDataGetBytePtr(data);
    plist_t root = parse(bytes, length);
    if (!root) return nullptr;
    CFPropertyListRef value = _CFPropertyListCreateFromNode(root, options);
    plist_free(root);
    if (value && format) {
        bool binary = plist_is_binary(reinterpret_cast<const char *>(bytes), static_cast<uint32_t>(length));
        *format = binary ? kCFPropertyListBinaryFormat_v1_0 : kCFPropertyListXMLFormat_v1_0;
    }
    return value;
}

CFDataRef CFPropertyListCreateData(CFAllocatorRef, CFPropertyListRef propertyList,
                                   CFPropertyListFormat format, CFOptionFlags, CFErrorRef *error) {
    if (error) *error = nullptr;
    if (!propertyList || !is_file_format(format)) return nullptr;
    plist_t root = _CFPropertyListCreateNode(propertyList);
    if (!root) return nullptr;
    CFDataRef data = serialize(root, format);
    plist_free(root);
    return data;
}

Boolean CFPropertyListIsValid(CFPropertyListRef plist, CFPropertyListFormat format) {
    if (!plist) return false;
    if (!is_file_format(format) && format != kCFPropertyListOpenStepFormat) return false;
    // Valid exactly when it can be written.
    plist_t root = _CFPropertyListCreateNode(plist);
    if (!root) return false;
    plist_free(root);
    return format != kCFPropertyListOpenStepFormat || holds_only_openstep_types(plist);
}
