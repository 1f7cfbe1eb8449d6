// Values as binary property lists ("bplist00"). A value referenced from
// several places in memory is written once and shared by reference; a
// container that holds itself, or nesting deeper than a reader accepts, is
// refused.
#include "property_list_codec_internal.h"

#include "runtime.h"
#include "string_internal.h"
#include "string_storage.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace cfplist::detail {
namespace {

int width_for(uint64_t largest) {
    int width = 1;
    while (width < 8 && largest >> (8 * width)) ++width;
    return width;
}

void append_big_endian(std::string &out, uint64_t value, int width) {
    for (int shift = 8 * (width - 1); shift >= 0; shift -= 8) out += static_cast<char>(value >> shift & 0xFF);
}

class BinaryWriter {
public:
    bool write(CFTypeRef top, std::string &out);

private:
    struct Object {
        CFTypeRef value;
        bool in_progress;
        int height;
    };

    bool collect(CFTypeRef value, int depth, uint64_t &index);
    void children_of(CFTypeRef value, std::vector<const void *> &keys, std::vector<const void *> &values) const;
    bool write_object(const Object &object, std::string &out) const;
    void write_length(std::string &out, uint8_t kind, uint64_t length) const;
    void write_refs(std::string &out, const std::vector<const void *> &values) const;

    std::unordered_map<const void *, uint64_t> index_;
    std::vector<Object> objects_;
    int ref_width_ = 1;
};

void BinaryWriter::children_of(CFTypeRef value, std::vector<const void *> &keys,
                               std::vector<const void *> &values) const {
    CFTypeID type = CFGetTypeID(value);
    if (type == CFArrayGetTypeID()) {
        auto array = static_cast<CFArrayRef>(value);
        for (CFIndex i = 0, count = CFArrayGetCount(array); i < count; ++i) {
            values.push_back(CFArrayGetValueAtIndex(array, i));
        }
    } else if (type == CFDictionaryGetTypeID()) {
        auto dictionary = static_cast<CFDictionaryRef>(value);
        auto count = static_cast<size_t>(CFDictionaryGetCount(dictionary));
        keys.resize(count);
        values.resize(count);
        CFDictionaryGetKeysAndValues(dictionary, keys.data(), values.data());
    }
}

bool BinaryWriter::collect(CFTypeRef value, int depth, uint64_t &index) {
    if (!value || depth > kMaxDepth || !cf::is_live_value(value)) return false;
    auto found = index_.find(value);
    if (found != index_.end()) {
        const Object &seen = objects_[found->second];
        index = found->second;
        return !seen.in_progress && depth + seen.height <= kMaxDepth;
    }
    CFTypeID type = CFGetTypeID(value);
    bool leaf = type == CFStringGetTypeID() || type == CFBooleanGetTypeID() || type == CFNumberGetTypeID() ||
                type == CFDataGetTypeID() ||
                (type == CFDateGetTypeID() && is_storable_date(CFDateGetAbsoluteTime(static_cast<CFDateRef>(value))));
    if (!leaf && type != CFArrayGetTypeID() && type != CFDictionaryGetTypeID()) return false;
    index = objects_.size();
    index_.emplace(value, index);
    objects_.push_back(Object{value, true, 0});
    std::vector<const void *> keys, values;
    children_of(value, keys, values);
    int height = 0;
    for (const void *key : keys) {
        uint64_t ignored = 0;
        if (!key || !cf::is_live_value(key) || CFGetTypeID(key) != CFStringGetTypeID()) return false;
        if (!collect(key, depth + 1, ignored)) return false;
    }
    for (const void *child : values) {
        uint64_t child_index = 0;
        if (!collect(child, depth + 1, child_index)) return false;
        height = std::max(height, objects_[child_index].height + 1);
    }
    objects_[index].in_progress = false;
    objects_[index].height = height;
    return true;
}

void BinaryWriter::write_length(std::string &out, uint8_t kind, uint64_t length) const {
    if (length < 15) {
        out += static_cast<char>(kind << 4 | length);
        return;
    }
    out += static_cast<char>(kind << 4 | 0x0F);
    int width = width_for(length);
    int power = width <= 1 ? 0 : width <= 2 ? 1 : width <= 4 ? 2 : 3;
    out += static_cast<char>(0x10 | power);
    append_big_endian(out, length, 1 << power);
}

void BinaryWriter::write_refs(std::string &out, const std::vector<const void *> &values) const {
    for (const void *value : values) append_big_endian(out, index_.at(value), ref_width_);
}

bool BinaryWriter::write_object(const Object &object, std::string &out) const {
    CFTypeRef value = object.value;
    CFTypeID type = CFGetTypeID(value);
    if (type == CFBooleanGetTypeID()) {
        out += CFBooleanGetValue(static_cast<CFBooleanRef>(value)) ? '\x09' : '\x08';
    } else if (type == CFNumberGetTypeID() && CFNumberIsFloatType(static_cast<CFNumberRef>(value))) {
        double real = 0;
        CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberFloat64Type, &real);
        uint64_t bits = 0;
        memcpy(&bits, &real, sizeof bits);
        out += '\x23';
        append_big_endian(out, bits, 8);
    } else if (type == CFNumberGetTypeID()) {
        SInt64 integer = 0;
        CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberSInt64Type, &integer);
        // Negative integers take eight bytes; others the fewest of 1, 2 or 4.
        int width = integer < 0 ? 8 : width_for(static_cast<uint64_t>(integer));
        int power = width <= 1 ? 0 : width <= 2 ? 1 : width <= 4 ? 2 : 3;
        out += static_cast<char>(0x10 | power);
        append_big_endian(out, static_cast<uint64_t>(integer), 1 << power);
    } else if (type == CFDateGetTypeID()) {
        double at = CFDateGetAbsoluteTime(static_cast<CFDateRef>(value));
        uint64_t bits = 0;
        memcpy(&bits, &at, sizeof bits);
        out += '\x33';
        append_big_endian(out, bits, 8);
    } else if (type == CFDataGetTypeID()) {
        auto data = static_cast<CFDataRef>(value);
        write_length(out, 0x4, static_cast<uint64_t>(CFDataGetLength(data)));
        out.append(reinterpret_cast<const char *>(CFDataGetBytePtr(data)), static_cast<size_t>(CFDataGetLength(data)));
    } else if (type == CFStringGetTypeID()) {
        const __CFString *string = cf::checked_string(static_cast<CFStringRef>(value), "CFPropertyListCreateData");
        if (string->ascii) {
            write_length(out, 0x5, string->utf8.size());
            out += string->utf8;
        } else {
            write_length(out, 0x6, string->utf16.size());
            for (char16_t unit : string->utf16) append_big_endian(out, unit, 2);
        }
    } else {
        std::vector<const void *> keys, values;
        children_of(value, keys, values);
        write_length(out, type == CFArrayGetTypeID() ? 0xA : 0xD, values.size());
        write_refs(out, keys);
        write_refs(out, values);
    }
    return out.size() <= kMaxFileBytes;
}

bool BinaryWriter::write(CFTypeRef top, std::string &out) {
    uint64_t top_index = 0;
    if (!collect(top, 0, top_index)) return false;
    ref_width_ = width_for(objects_.size());
    out = "bplist00";
    std::vector<uint64_t> offsets;
    offsets.reserve(objects_.size());
    for (const Object &object : objects_) {
        offsets.push_back(out.size());
        if (!write_object(object, out)) return false;
    }
    uint64_t table_offset = out.size();
    int offset_width = width_for(table_offset);
    for (uint64_t offset : offsets) append_big_endian(out, offset, offset_width);
    out.append(6, '\0');
    out += static_cast<char>(offset_width);
    out += static_cast<char>(ref_width_);
    append_big_endian(out, objects_.size(), 8);
    append_big_endian(out, top_index, 8);
    append_big_endian(out, table_offset, 8);
    return out.size() <= kMaxFileBytes;
}

}  // namespace

bool write_binary(CFPropertyListRef value, std::string &out) {
    BinaryWriter writer;
    return writer.write(value, out);
}

}  // namespace cfplist::detail
