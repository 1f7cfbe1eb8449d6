// Property lists to and from their XML and binary file formats, through
// the codec.
#include "property_list_codec.h"

#include "runtime.h"

#include <CoreFoundation/CFPreferencesPrivate.h>

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

}  // namespace

CFPropertyListRef CFPropertyListCreateWithData(CFAllocatorRef, CFDataRef data, CFOptionFlags options,
                                               CFPropertyListFormat *format, CFErrorRef *error) {
    if (error) *error = nullptr;
    if (!data) return nullptr;
    const UInt8 *bytes = CFDataGetBytePtr(data);
    auto length = static_cast<size_t>(CFDataGetLength(data));
    CFPropertyListRef value = cfplist::decode_value(bytes, length, options, nullptr);
    if (value && format) {
        *format = cfplist::is_binary_property_list(bytes, length) ? kCFPropertyListBinaryFormat_v1_0
                                                                  : kCFPropertyListXMLFormat_v1_0;
    }
    return value;
}

CFDataRef CFPropertyListCreateData(CFAllocatorRef, CFPropertyListRef propertyList,
                                   CFPropertyListFormat format, CFOptionFlags, CFErrorRef *error) {
    if (error) *error = nullptr;
    if (!propertyList || !is_file_format(format)) return nullptr;
    std::string bytes;
    bool written = format == kCFPropertyListXMLFormat_v1_0 ? cfplist::encode_xml(propertyList, bytes)
                                                           : cfplist::encode_binary(propertyList, bytes);
    if (!written) return nullptr;
    return CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(bytes.data()),
                        static_cast<CFIndex>(bytes.size()));
}

Boolean CFPropertyListIsValid(CFPropertyListRef plist, CFPropertyListFormat format) {
    if (!plist) return false;
    if (!is_file_format(format) && format != kCFPropertyListOpenStepFormat) return false;
    // Valid exactly when it can be written.
    if (format == kCFPropertyListXMLFormat_v1_0) return cfplist::can_encode_xml(plist);
    std::string bytes;
    if (!cfplist::encode_binary(plist, bytes)) return false;
    return format != kCFPropertyListOpenStepFormat || holds_only_openstep_types(plist);
}

CFDictionaryRef CFPreferencesCreateDomainWithData(CFDataRef data, CFIndex *omittedEntries) {
    if (omittedEntries) *omittedEntries = 0;
    if (!data) return nullptr;
    cfplist::DomainContents contents =
        cfplist::decode_domain(CFDataGetBytePtr(data), static_cast<size_t>(CFDataGetLength(data)));
    if (omittedEntries) *omittedEntries = contents.omitted_entries;
    return contents.dictionary;
}
