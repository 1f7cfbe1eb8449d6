// First version: libplist's parser and writer behind the codec's interface.
#include "property_list_codec.h"

#include "property_list_internal.h"

#include <plist/plist.h>

#include <cstdint>

namespace cfplist {
namespace {

plist_t parse_node(const void *bytes, size_t size) {
    if (size == 0 || size > UINT32_MAX) return nullptr;
    plist_t root = nullptr;
    plist_from_memory(static_cast<const char *>(bytes), static_cast<uint32_t>(size), &root);
    return root;
}

}  // namespace

CFPropertyListRef decode_value(const void *bytes, size_t size, CFOptionFlags mutability,
                               DecodeStatus *status) {
    plist_t root = parse_node(bytes, size);
    if (!root) {
        if (status) *status = DecodeStatus::NotAPropertyList;
        return nullptr;
    }
    CFPropertyListRef value = _CFPropertyListCreateFromNode(root, mutability);
    plist_free(root);
    if (status) *status = value ? DecodeStatus::Ok : DecodeStatus::NoMemory;
    return value;
}

DomainContents decode_domain(const void *bytes, size_t size) {
    DomainContents contents;
    CFPropertyListRef value = decode_value(bytes, size, kCFPropertyListImmutable, &contents.status);
    if (!value) return contents;
    if (CFGetTypeID(value) != CFDictionaryGetTypeID()) {
        CFRelease(value);
        contents.status = DecodeStatus::NotADictionary;
        return contents;
    }
    contents.dictionary = static_cast<CFDictionaryRef>(value);
    return contents;
}

bool encode_xml(CFPropertyListRef value, std::string &out) {
    plist_t node = _CFPropertyListCreateNode(value);
    if (!node) return false;
    out = _CFPropertyListCopyXMLText(node);
    plist_free(node);
    return !out.empty();
}

}  // namespace cfplist
