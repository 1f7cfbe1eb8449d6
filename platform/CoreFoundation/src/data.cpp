// CFData: an immutable copy of some bytes.
#include "runtime.h"
#include "string_storage.h"

#include <vector>

struct __CFData : cf::RuntimeBase {
    explicit __CFData(std::vector<UInt8> data_bytes) noexcept
        : RuntimeBase(cf::kDataTypeID), bytes(std::move(data_bytes)) {}
    const std::vector<UInt8> bytes;
};

namespace {

const __CFData *as_data(CFTypeRef value) { return static_cast<const __CFData *>(value); }

Boolean data_equal(CFTypeRef a, CFTypeRef b) { return as_data(a)->bytes == as_data(b)->bytes; }

CFHashCode data_hash(CFTypeRef value) {
    const std::vector<UInt8> &bytes = as_data(value)->bytes;
    return cf::hash_bytes(bytes.data(), bytes.size());
}

// Hexadecimal, a space after every four bytes: "<01020304 05>".
CFStringRef data_copy_description(CFTypeRef value) {
    static const char kDigits[] = "0123456789abcdef";
    const std::vector<UInt8> &bytes = as_data(value)->bytes;
    std::string text = "<";
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0 && i % 4 == 0) text += ' ';
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0xF];
    }
    text += '>';
    return cf::create_string_from_utf8(text);
}

std::vector<UInt8> copy_bytes(const UInt8 *bytes, CFIndex length) noexcept {
    return length > 0 ? std::vector<UInt8>(bytes, bytes + length) : std::vector<UInt8>();
}

}  // namespace

const cf::RuntimeClass cf::kDataClass = {
    "CFData", cf::destroy_value<__CFData>, data_equal, data_hash, data_copy_description,
};

CFTypeID CFDataGetTypeID(void) { return cf::kDataTypeID; }

CFDataRef CFDataCreate(CFAllocatorRef, const UInt8 *bytes, CFIndex length) {
    if (length < 0) cf::fatal("CFDataCreate", "negative length %ld", length);
    if (!bytes && length > 0) cf::fatal("CFDataCreate", "NULL bytes for length %ld", length);
    return cf::create_value<__CFData>(copy_bytes(bytes, length));
}

CFIndex CFDataGetLength(CFDataRef theData) {
    return static_cast<CFIndex>(
        cf::checked<__CFData>(theData, cf::kDataTypeID, "CFDataGetLength")->bytes.size());
}

const UInt8 *CFDataGetBytePtr(CFDataRef theData) {
    return cf::checked<__CFData>(theData, cf::kDataTypeID, "CFDataGetBytePtr")->bytes.data();
}
