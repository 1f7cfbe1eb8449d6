// What the property-list readers and writers share: the limits, the value
// builders and the conversions of scalars to and from their file forms.
#pragma once

#include "property_list_codec.h"

#include <CFRef.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cfplist::detail {

using Owned = CFRef<CFTypeRef>;

// Bytes of a file read, and of the XML text a value would be written as
// (shared references count once per place they appear). Preference files
// are a few kilobytes; this leaves room for any real one while a hostile
// file cannot make the reader or a later write hold or produce more.
constexpr size_t kMaxFileBytes = size_t{64} << 20;
// Containers a value may sit in, counting from the top of the file.
constexpr int kMaxDepth = 512;
// Container entries a mutable read may make when it copies shared parts.
constexpr uint64_t kMaxMutableEntries = uint64_t{1} << 20;
// XML indentation stops growing here, so that deep nesting costs linear text.
constexpr int kMaxIndent = 32;

struct DecodeOptions {
    bool mutable_containers = false;
    // A top-level dictionary whose entries fail on their own (too deep, too
    // large) drops those entries instead of failing whole.
    bool drop_over_limit_entries = false;
};

struct Decoded {
    Owned value;
    DecodeStatus status = DecodeStatus::NotAPropertyList;
    CFIndex omitted_entries = 0;
};

Decoded decode_binary(std::string_view bytes, const DecodeOptions &options);
Decoded decode_xml(std::string_view bytes, const DecodeOptions &options);
bool is_binary(std::string_view bytes);
// Dates are written in whole seconds; exact refuses a date with a fraction.
bool write_xml(CFPropertyListRef value, std::string &out, bool exact,
               std::span<const PrewrittenValue> prewritten = {});
// The text of one value of a top-level dictionary, exact, without the document around it.
bool write_entry_xml(CFPropertyListRef value, std::string &out);
// Whether write_xml(value, out, false) would succeed, without building the text.
bool can_write_xml(CFPropertyListRef value);
bool write_binary(CFPropertyListRef value, std::string &out);

// Immutable containers of owned values; NULL when an allocation fails.
CFArrayRef make_array(const std::vector<Owned> &items);
CFDictionaryRef make_dictionary(const std::vector<Owned> &keys, const std::vector<Owned> &values);
// A copy whose containers are mutable, leaves shared; NULL past the budget
// of entries or when an allocation fails.
CFPropertyListRef mutable_copy(CFPropertyListRef value, uint64_t &budget);

// --- scalars in their file forms ---

// The shortest text that reads back the same double, with a decimal point
// ("2.0", "-0.0", "0.1"); "nan", "inf", "-inf". Never depends on the locale.
std::string real_text(double value);
std::optional<double> parse_real(std::string_view text);
// Decimal, with an optional sign; also 0x hexadecimal. Values above INT64_MAX
// up to UINT64_MAX keep their 64 bits (two's complement), as files written
// with unsigned integers hold them.
std::optional<SInt64> parse_integer(std::string_view text);
// "YYYY-MM-DDTHH:MM:SSZ", whole seconds from 2001-01-01 (rounded down).
std::string date_text(double at);
std::optional<double> parse_date(std::string_view text);
// Dates the formats keep: years 1 to 9999. Others are refused on reading
// and on writing, in both forms, so that whatever reads can be written.
bool is_storable_date(double at);
std::string base64_text(std::string_view bytes, std::string_view line_prefix);
std::optional<std::string> parse_base64(std::string_view text);

// True when every character may appear in XML 1.0 text (tab, LF and CR are
// allowed; other characters below U+0020 and U+FFFE/U+FFFF are not).
bool is_xml_text(std::string_view utf8);

}  // namespace cfplist::detail
