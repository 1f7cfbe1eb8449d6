// Binary property lists ("bplist00") into values, trusting nothing in the
// file: every offset, length and reference is checked against the bytes,
// each object is decoded once however many references share it (so a small
// file cannot expand in memory), a reference loop is malformed, and the
// nesting of each value is bounded.
#include "property_list_codec_internal.h"

#include "string_storage.h"

#include <algorithm>
#include <cstring>

namespace cfplist::detail {
namespace {

constexpr size_t kHeaderSize = 8;
constexpr size_t kTrailerSize = 32;

uint64_t big_endian(const uint8_t *bytes, size_t width) {
    uint64_t value = 0;
    for (size_t i = 0; i < width; ++i) value = value << 8 | bytes[i];
    return value;
}

uint64_t saturating_add(uint64_t a, uint64_t b) { return a > UINT64_MAX - b ? UINT64_MAX : a + b; }

struct Trailer {
    size_t offset_width, ref_width;
    uint64_t object_count, top_object, table_offset;
};

// What decoding an object gave, kept so a shared object is decoded once.
struct Memo {
    enum State : uint8_t { Unvisited, InProgress, Done, Failed } state = Unvisited;
    DecodeStatus failure = DecodeStatus::Ok;
    int16_t height = 0;           // containers below it, when Done
    int16_t failed_at_depth = 0;  // failed over a limit: fails again at this depth or deeper
    uint64_t written_size = 0;    // bound on its XML text
    Owned value;
};

class BinaryReader {
public:
    BinaryReader(std::string_view bytes, const Trailer &trailer)
        : bytes_(reinterpret_cast<const uint8_t *>(bytes.data())),
          objects_end_(bytes.size() - kTrailerSize),
          trailer_(trailer),
          memo_(trailer.object_count) {}

    Decoded decode_top(const DecodeOptions &options);

private:
    struct Result {
        DecodeStatus status;
        const Memo *memo;
    };

    Result object(uint64_t index, int depth);
    DecodeStatus decode_into(uint64_t index, int depth, Memo &memo);
    bool object_offset(uint64_t index, size_t &offset) const;
    bool length_after(size_t &at, uint8_t marker, uint64_t &length) const;
    bool reference_at(size_t at, uint64_t &index) const;
    DecodeStatus scalar(uint8_t marker, size_t at, Memo &memo) const;
    DecodeStatus string(uint8_t marker, size_t at, uint64_t length, Memo &memo) const;
    DecodeStatus array(size_t at, uint64_t count, int depth, Memo &memo);
    DecodeStatus dictionary(size_t at, uint64_t count, int depth, Memo &memo);
    DecodeStatus domain(uint64_t index, Decoded &decoded);

    bool fits(size_t at, uint64_t length) const { return at <= objects_end_ && length <= objects_end_ - at; }

    const uint8_t *bytes_;
    size_t objects_end_;
    Trailer trailer_;
    std::vector<Memo> memo_;
};

bool BinaryReader::object_offset(uint64_t index, size_t &offset) const {
    if (index >= trailer_.object_count) return false;
    offset = big_endian(bytes_ + trailer_.table_offset + index * trailer_.offset_width, trailer_.offset_width);
    return offset >= kHeaderSize && offset < objects_end_;
}

// A length in the marker's low nibble, or after it as an integer object.
bool BinaryReader::length_after(size_t &at, uint8_t marker, uint64_t &length) const {
    length = marker & 0x0F;
    if (length != 0x0F) return true;
    if (!fits(at, 1) || (bytes_[at] & 0xF0) != 0x10) return false;
    size_t width = size_t{1} << (bytes_[at] & 0x0F);
    if (width > 8 || !fits(at + 1, width)) return false;
    length = big_endian(bytes_ + at + 1, width);
    at += 1 + width;
    return true;
}

bool BinaryReader::reference_at(size_t at, uint64_t &index) const {
    index = big_endian(bytes_ + at, trailer_.ref_width);
    return index < trailer_.object_count;
}

DecodeStatus BinaryReader::scalar(uint8_t marker, size_t at, Memo &memo) const {
    uint8_t kind = marker >> 4, low = marker & 0x0F;
    memo.written_size = 64;
    if (marker == 0x08 || marker == 0x09) {
        memo.value = Owned::retain(marker == 0x09 ? kCFBooleanTrue : kCFBooleanFalse);
        return DecodeStatus::Ok;
    }
    if (kind == 0x1 && low <= 4) {
        size_t width = size_t{1} << low;
        if (!fits(at, width)) return DecodeStatus::NotAPropertyList;
        // Sixteen bytes: an unsigned integer whose low 64 bits we keep.
        auto value = static_cast<SInt64>(big_endian(bytes_ + at + (width == 16 ? 8 : 0), width == 16 ? 8 : width));
        memo.value = Owned::adopt(CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &value));
    } else if ((kind == 0x2 && (low == 2 || low == 3)) || marker == 0x33) {
        size_t width = size_t{1} << (low & 3);
        if (!fits(at, width)) return DecodeStatus::NotAPropertyList;
        uint64_t bits = big_endian(bytes_ + at, width);
        double value = 0;
        if (width == 4) {
            float single = 0;
            auto bits32 = static_cast<uint32_t>(bits);
            memcpy(&single, &bits32, sizeof single);
            value = single;
        } else {
            memcpy(&value, &bits, sizeof value);
        }
        if (kind == 0x3 && !is_storable_date(value)) return DecodeStatus::NotAPropertyList;
        memo.value = Owned::adopt(kind == 0x3 ? static_cast<CFTypeRef>(CFDateCreate(kCFAllocatorDefault, value))
                                              : CFNumberCreate(kCFAllocatorDefault, kCFNumberFloat64Type, &value));
    } else {
        return DecodeStatus::NotAPropertyList;  // null, fill, UID, set, or no type at all
    }
    return memo.value ? DecodeStatus::Ok : DecodeStatus::NoMemory;
}

// ASCII (0x5), UTF-16 big-endian (0x6) or UTF-8 (0x7) text, which must be
// well formed: text that is not is never passed on to be written.
DecodeStatus BinaryReader::string(uint8_t marker, size_t at, uint64_t length, Memo &memo) const {
    uint8_t kind = marker >> 4;
    uint64_t byte_length = kind == 0x6 ? length * 2 : length;
    if (length > objects_end_ || !fits(at, byte_length)) return DecodeStatus::NotAPropertyList;
    const uint8_t *text = bytes_ + at;
    if (kind == 0x6) {
        std::u16string units(length, u'\0');
        for (uint64_t i = 0; i < length; ++i) units[i] = static_cast<char16_t>(text[2 * i] << 8 | text[2 * i + 1]);
        for (uint64_t i = 0; i < length; ++i) {
            bool high = units[i] >= 0xD800 && units[i] <= 0xDBFF, low = units[i] >= 0xDC00 && units[i] <= 0xDFFF;
            if (low) return DecodeStatus::NotAPropertyList;
            if (high) {
                if (i + 1 >= length || units[i + 1] < 0xDC00 || units[i + 1] > 0xDFFF) return DecodeStatus::NotAPropertyList;
                ++i;
            }
        }
        memo.value = Owned::adopt(cf::create_string_from_utf16(units));
        memo.written_size = saturating_add(64, length * 15);  // up to 3 bytes each, escaped
        return memo.value ? DecodeStatus::Ok : DecodeStatus::NoMemory;
    }
    std::string_view view(reinterpret_cast<const char *>(text), byte_length);
    if (kind == 0x5) {
        for (char c : view) {
            if (static_cast<unsigned char>(c) >= 0x80) return DecodeStatus::NotAPropertyList;
        }
    }
    memo.value = Owned::adopt(cf::create_string_from_utf8(view));
    memo.written_size = saturating_add(64, byte_length * 5);
    // ASCII was checked above, so a failure here is an allocation.
    return memo.value ? DecodeStatus::Ok : DecodeStatus::NoMemory;
}

DecodeStatus BinaryReader::array(size_t at, uint64_t count, int depth, Memo &memo) {
    if (count > objects_end_ / trailer_.ref_width || !fits(at, count * trailer_.ref_width)) {
        return DecodeStatus::NotAPropertyList;
    }
    std::vector<Owned> items;
    items.reserve(count);
    memo.written_size = 64;
    for (uint64_t i = 0; i < count; ++i) {
        uint64_t index = 0;
        if (!reference_at(at + i * trailer_.ref_width, index)) return DecodeStatus::NotAPropertyList;
        Result item = object(index, depth + 1);
        if (item.status != DecodeStatus::Ok) return item.status;
        items.push_back(item.memo->value);
        memo.height = std::max<int16_t>(memo.height, static_cast<int16_t>(item.memo->height + 1));
        memo.written_size = saturating_add(memo.written_size, item.memo->written_size);
    }
    memo.value = Owned::adopt(make_array(items));
    return memo.value ? DecodeStatus::Ok : DecodeStatus::NoMemory;
}

DecodeStatus BinaryReader::dictionary(size_t at, uint64_t count, int depth, Memo &memo) {
    if (count > objects_end_ / (2 * trailer_.ref_width) || !fits(at, 2 * count * trailer_.ref_width)) {
        return DecodeStatus::NotAPropertyList;
    }
    std::vector<Owned> keys, values;
    keys.reserve(count);
    values.reserve(count);
    memo.written_size = 64;
    for (uint64_t i = 0; i < count; ++i) {
        uint64_t key_index = 0, value_index = 0;
        if (!reference_at(at + i * trailer_.ref_width, key_index) ||
            !reference_at(at + (count + i) * trailer_.ref_width, value_index)) {
            return DecodeStatus::NotAPropertyList;
        }
        Result key = object(key_index, depth + 1);
        if (key.status != DecodeStatus::Ok) return key.status;
        if (CFGetTypeID(key.memo->value.get()) != CFStringGetTypeID()) return DecodeStatus::NotAPropertyList;
        Result value = object(value_index, depth + 1);
        if (value.status != DecodeStatus::Ok) return value.status;
        keys.push_back(key.memo->value);
        values.push_back(value.memo->value);
        memo.height = std::max<int16_t>(memo.height, static_cast<int16_t>(value.memo->height + 1));
        memo.written_size = saturating_add(memo.written_size,
                                           saturating_add(key.memo->written_size, value.memo->written_size));
    }
    memo.value = Owned::adopt(make_dictionary(keys, values));
    return memo.value ? DecodeStatus::Ok : DecodeStatus::NoMemory;
}

DecodeStatus BinaryReader::decode_into(uint64_t index, int depth, Memo &memo) {
    size_t at = 0;
    if (!object_offset(index, at)) return DecodeStatus::NotAPropertyList;
    uint8_t marker = bytes_[at++];
    uint8_t kind = marker >> 4;
    if (kind != 0x4 && kind != 0x5 && kind != 0x6 && kind != 0x7 && kind != 0xA && kind != 0xD) {
        return scalar(marker, at, memo);
    }
    uint64_t length = 0;
    if (!length_after(at, marker, length)) return DecodeStatus::NotAPropertyList;
    switch (kind) {
        case 0x4:
            if (!fits(at, length)) return DecodeStatus::NotAPropertyList;
            memo.value = Owned::adopt(CFDataCreate(kCFAllocatorDefault, bytes_ + at, static_cast<CFIndex>(length)));
            memo.written_size = saturating_add(64, length * 2);
            return memo.value ? DecodeStatus::Ok : DecodeStatus::NoMemory;
        case 0xA: return array(at, length, depth, memo);
        case 0xD: return dictionary(at, length, depth, memo);
        default: return string(marker, at, length, memo);
    }
}

BinaryReader::Result BinaryReader::object(uint64_t index, int depth) {
    Memo &memo = memo_[index];
    switch (memo.state) {
        case Memo::Done:
            if (depth + memo.height > kMaxDepth) return {DecodeStatus::OverLimit, nullptr};
            return {DecodeStatus::Ok, &memo};
        case Memo::InProgress: return {DecodeStatus::NotAPropertyList, nullptr};  // a reference loop
        case Memo::Failed:
            if (memo.failure != DecodeStatus::OverLimit || depth >= memo.failed_at_depth) {
                return {memo.failure, nullptr};
            }
            break;  // too deep before, perhaps not from here
        case Memo::Unvisited: break;
    }
    if (depth > kMaxDepth) return {DecodeStatus::OverLimit, nullptr};
    memo.state = Memo::InProgress;
    memo.height = 0;
    DecodeStatus status = decode_into(index, depth, memo);
    if (status == DecodeStatus::Ok && memo.written_size > kMaxFileBytes) status = DecodeStatus::OverLimit;
    if (status != DecodeStatus::Ok) {
        memo.state = Memo::Failed;
        memo.failure = status;
        memo.failed_at_depth = static_cast<int16_t>(depth);
        memo.value = Owned();
        return {status, nullptr};
    }
    memo.state = Memo::Done;
    return {DecodeStatus::Ok, &memo};
}

// The top-level dictionary of a domain, leaving out the entries whose own
// value is over a limit.
DecodeStatus BinaryReader::domain(uint64_t index, Decoded &decoded) {
    size_t at = 0;
    if (!object_offset(index, at)) return DecodeStatus::NotAPropertyList;
    uint8_t marker = bytes_[at++];
    uint64_t count = 0;
    if (marker >> 4 != 0xD || !length_after(at, marker, count)) return DecodeStatus::NotADictionary;
    if (count > objects_end_ / (2 * trailer_.ref_width) || !fits(at, 2 * count * trailer_.ref_width)) {
        return DecodeStatus::NotAPropertyList;
    }
    memo_[index].state = Memo::InProgress;  // a reference to the top is a loop
    std::vector<Owned> keys, values;
    uint64_t total = 0;
    for (uint64_t i = 0; i < count; ++i) {
        uint64_t key_index = 0, value_index = 0;
        if (!reference_at(at + i * trailer_.ref_width, key_index) ||
            !reference_at(at + (count + i) * trailer_.ref_width, value_index)) {
            return DecodeStatus::NotAPropertyList;
        }
        Result key = object(key_index, 1);
        if (key.status != DecodeStatus::Ok) return key.status;
        if (CFGetTypeID(key.memo->value.get()) != CFStringGetTypeID()) return DecodeStatus::NotAPropertyList;
        Result value = object(value_index, 1);
        if (value.status == DecodeStatus::OverLimit) {
            ++decoded.omitted_entries;
            continue;
        }
        if (value.status != DecodeStatus::Ok) return value.status;
        total = saturating_add(total, saturating_add(key.memo->written_size, value.memo->written_size));
        if (total > kMaxFileBytes) return DecodeStatus::OverLimit;
        keys.push_back(key.memo->value);
        values.push_back(value.memo->value);
    }
    decoded.value = Owned::adopt(make_dictionary(keys, values));
    return decoded.value ? DecodeStatus::Ok : DecodeStatus::NoMemory;
}

Decoded BinaryReader::decode_top(const DecodeOptions &options) {
    Decoded decoded;
    if (options.drop_over_limit_entries) {
        decoded.status = domain(trailer_.top_object, decoded);
    } else {
        Result top = object(trailer_.top_object, 0);
        decoded.status = top.status;
        if (top.status == DecodeStatus::Ok) decoded.value = top.memo->value;
    }
    if (decoded.status != DecodeStatus::Ok) return Decoded{Owned(), decoded.status, 0};
    if (options.mutable_containers) {
        uint64_t budget = kMaxMutableEntries;
        decoded.value = Owned::adopt(mutable_copy(decoded.value.get(), budget));
        if (!decoded.value) decoded.status = budget == 0 ? DecodeStatus::OverLimit : DecodeStatus::NoMemory;
    }
    return decoded;
}

bool read_trailer(std::string_view bytes, Trailer &trailer) {
    if (bytes.size() < kHeaderSize + kTrailerSize + 1) return false;
    const auto *end = reinterpret_cast<const uint8_t *>(bytes.data()) + bytes.size() - kTrailerSize;
    trailer.offset_width = end[6];
    trailer.ref_width = end[7];
    trailer.object_count = big_endian(end + 8, 8);
    trailer.top_object = big_endian(end + 16, 8);
    trailer.table_offset = big_endian(end + 24, 8);
    size_t objects_end = bytes.size() - kTrailerSize;
    if (trailer.offset_width < 1 || trailer.offset_width > 8 || trailer.ref_width < 1 || trailer.ref_width > 8) {
        return false;
    }
    // Every object takes at least a byte, and the table lies after them.
    if (trailer.object_count == 0 || trailer.object_count > objects_end || trailer.top_object >= trailer.object_count) {
        return false;
    }
    if (trailer.table_offset < kHeaderSize || trailer.table_offset > objects_end) return false;
    return trailer.object_count * trailer.offset_width <= objects_end - trailer.table_offset;
}

}  // namespace

bool is_binary(std::string_view bytes) { return bytes.size() >= 8 && bytes.substr(0, 8) == "bplist00"; }

Decoded decode_binary(std::string_view bytes, const DecodeOptions &options) {
    Trailer trailer{};
    if (!is_binary(bytes) || !read_trailer(bytes, trailer)) return Decoded{};
    BinaryReader reader(bytes, trailer);
    return reader.decode_top(options);
}

}  // namespace cfplist::detail
