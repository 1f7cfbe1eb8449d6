// CFString: making strings, their length and characters, and their text in
// byte encodings.
#include "string_storage.h"

#include "string_encoding.h"
#include "string_internal.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

bool all_ascii(const std::string &utf8) {
    return std::all_of(utf8.begin(), utf8.end(),
                       [](char byte) { return static_cast<unsigned char>(byte) < 0x80; });
}

Boolean string_equal(CFTypeRef a, CFTypeRef b) {
    return static_cast<const __CFString *>(a)->utf8 == static_cast<const __CFString *>(b)->utf8;
}

// Over the UTF-8 bytes: equal text has equal bytes, so equal strings hash
// equal and work as dictionary keys.
CFHashCode string_hash(CFTypeRef value) {
    const std::string &utf8 = static_cast<const __CFString *>(value)->utf8;
    return cf::hash_bytes(utf8.data(), utf8.size());
}

// A string describes itself as its own text.
CFStringRef string_copy_description(CFTypeRef value) {
    return static_cast<CFStringRef>(CFRetain(value));
}

}  // namespace

const cf::RuntimeClass cf::kStringClass = {
    "CFString", cf::destroy_value<__CFString>, string_equal, string_hash, string_copy_description,
};

__CFString::__CFString(std::string utf8_text, std::u16string utf16_text) noexcept
    : RuntimeBase(cf::kStringTypeID),
      utf8(std::move(utf8_text)),
      utf16(std::move(utf16_text)),
      ascii(all_ascii(utf8)) {}

namespace cf {

const __CFString *checked_string(CFStringRef string, const char *function) {
    return checked<__CFString>(string, kStringTypeID, function);
}

CFStringRef create_string(std::string utf8, std::u16string utf16) noexcept {
    return create_value<__CFString>(std::move(utf8), std::move(utf16));
}

CFStringRef create_string_from_utf16(std::u16string_view text) noexcept {
    return create_string(encode_utf8(text), std::u16string(text));
}

CFStringRef create_string_from_utf8(std::string_view bytes) noexcept {
    std::optional<std::u16string> text = decode_utf8(bytes);
    if (!text) return nullptr;
    return create_string(std::string(bytes), std::move(*text));
}

}  // namespace cf

CFTypeID CFStringGetTypeID(void) { return cf::kStringTypeID; }

CFStringRef CFStringCreateWithCString(CFAllocatorRef, const char *cStr,
                                      CFStringEncoding encoding) {
    if (!cStr) cf::fatal("CFStringCreateWithCString", "NULL C string");
    std::optional<std::u16string> text = cf::decode_bytes(cStr, encoding);
    if (!text) return nullptr;
    return cf::create_string_from_utf16(*text);
}

CFStringRef CFStringCreateWithBytes(CFAllocatorRef, const UInt8 *bytes, CFIndex numBytes,
                                    CFStringEncoding encoding, Boolean isExternalRepresentation) {
    if (numBytes < 0 || (!bytes && numBytes > 0)) cf::fatal("CFStringCreateWithBytes", "no bytes");
    std::string_view text(reinterpret_cast<const char *>(bytes), static_cast<size_t>(numBytes));
    if (isExternalRepresentation && encoding == kCFStringEncodingUTF8 && text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    std::optional<std::u16string> decoded = cf::decode_bytes(text, encoding);
    if (!decoded) return nullptr;
    return cf::create_string_from_utf16(*decoded);
}

CFStringRef CFStringCreateCopy(CFAllocatorRef, CFStringRef theString) {
    // Strings are immutable, so the copy is the string itself.
    return static_cast<CFStringRef>(CFRetain(cf::checked_string(theString, "CFStringCreateCopy")));
}

CFIndex CFStringGetLength(CFStringRef theString) {
    return static_cast<CFIndex>(cf::checked_string(theString, "CFStringGetLength")->utf16.size());
}

UniChar CFStringGetCharacterAtIndex(CFStringRef theString, CFIndex idx) {
    const __CFString *string = cf::checked_string(theString, "CFStringGetCharacterAtIndex");
    auto length = static_cast<CFIndex>(string->utf16.size());
    if (idx < 0 || idx >= length) {
        cf::fatal("CFStringGetCharacterAtIndex", "index %ld out of range (length %ld)", idx, length);
    }
    return string->utf16[static_cast<size_t>(idx)];
}

const char *CFStringGetCStringPtr(CFStringRef theString, CFStringEncoding encoding) {
    const __CFString *string = cf::checked_string(theString, "CFStringGetCStringPtr");
    if (encoding == kCFStringEncodingUTF8) return string->utf8.c_str();
    bool single_byte = encoding == kCFStringEncodingASCII ||
                       encoding == kCFStringEncodingISOLatin1 ||
                       encoding == kCFStringEncodingMacRoman;
    return single_byte && string->ascii ? string->utf8.c_str() : nullptr;
}

Boolean CFStringGetCString(CFStringRef theString, char *buffer, CFIndex bufferSize,
                           CFStringEncoding encoding) {
    const __CFString *string = cf::checked_string(theString, "CFStringGetCString");
    if (!buffer || bufferSize <= 0) return false;
    std::optional<std::string> bytes = cf::encode_bytes(string->utf16, encoding);
    if (!bytes || static_cast<CFIndex>(bytes->size()) >= bufferSize) {
        buffer[0] = '\0';
        return false;
    }
    memcpy(buffer, bytes->c_str(), bytes->size() + 1);
    return true;
}

CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding) {
    if (length < 0 || !cf::is_supported_encoding(encoding)) return kCFNotFound;
    if (encoding != kCFStringEncodingUTF8) return length;
    // Three bytes for every UTF-16 unit covers four for a surrogate pair.
    if (length > LONG_MAX / 3) return kCFNotFound;
    return length * 3;
}

CFStringRef cf::make_immortal_string(const char *utf8) {
    if (!utf8) cf::fatal("cf::make_immortal_string", "NULL text");
    std::optional<std::u16string> text = cf::decode_utf8(utf8);
    if (!text) cf::fatal("cf::make_immortal_string", "\"%s\" is not valid UTF-8", utf8);
    return cf::create_immortal<__CFString>(std::string(utf8), std::move(*text));
}

const char *cf::string_utf8(CFStringRef string) {
    return cf::checked_string(string, "cf::string_utf8")->utf8.c_str();
}

std::uint8_t cf::string_text_marks(CFStringRef string) {
    return cf::checked_string(string, "cf::string_text_marks")->text_marks.load(std::memory_order_relaxed);
}

void cf::set_string_text_marks(CFStringRef string, std::uint8_t marks) {
    cf::checked_string(string, "cf::set_string_text_marks")->text_marks.store(marks, std::memory_order_relaxed);
}

size_t cf::string_utf8_length(CFStringRef string) {
    return cf::checked_string(string, "cf::string_utf8_length")->utf8.size();
}
