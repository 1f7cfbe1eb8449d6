// The text of one element inside a listing.
#include "description.h"

#include "string_storage.h"

#include <cstdio>

namespace cf {
namespace {

bool is_bare_character(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_';
}

void append_string_text(std::string &out, const std::string &text) {
    bool bare = !text.empty();
    for (char c : text) bare = bare && is_bare_character(c);
    if (bare) {
        out += text;
        return;
    }
    out += '"';
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else {
            out += c;
        }
    }
    out += '"';
}

void append_address(std::string &out, const void *value) {
    char text[32];
    snprintf(text, sizeof text, "<%p>", value);
    out += text;
}

// A value's own description failing to be made fails the whole listing; a
// foreign callback giving nothing shows the address instead.
bool append_described(std::string &out, const void *value, CopyDescription copy_description) {
    CFStringRef description = copy_description(value);
    if (!description) {
        if (copy_description == CFCopyDescription) return false;
        append_address(out, value);
        return true;
    }
    if (CFGetTypeID(description) == kStringTypeID) {
        out += checked_string(description, "CFCopyDescription")->utf8;
    } else {
        append_address(out, value);
    }
    CFRelease(description);
    return true;
}

}  // namespace

void append_indent(std::string &out, int level) noexcept {
    out.append(static_cast<size_t>(level) * 4, ' ');
}

bool append_element_text(std::string &out, const void *value, CopyDescription copy_description,
                         int level) noexcept {
    if (!copy_description || !value) {
        append_address(out, value);
        return true;
    }
    if (copy_description != CFCopyDescription) return append_described(out, value, copy_description);
    switch (CFGetTypeID(value)) {
        case kArrayTypeID:
            return append_array_listing(out, static_cast<CFArrayRef>(value), level);
        case kDictionaryTypeID:
            return append_dictionary_listing(out, static_cast<CFDictionaryRef>(value), level);
        case kStringTypeID:
            append_string_text(out, checked_string(static_cast<CFStringRef>(value), "CFCopyDescription")->utf8);
            return true;
        default:
            return append_described(out, value, copy_description);
    }
}

}  // namespace cf
