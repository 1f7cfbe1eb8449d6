// Reading and writing property-list bytes (XML or binary in, XML out) with
// explicit limits, so that no file, however it was made, can crash, hang or
// exhaust the process that reads it.
//
// Everything the value layer and the preference store read or write goes
// through here.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <cstddef>
#include <span>
#include <string>

// Visible outside the library for the codec's tests, fuzz targets and benchmark.
#define CFPLIST_EXPORT __attribute__((visibility("default")))

namespace cfplist {

enum class DecodeStatus {
    Ok,
    NotAPropertyList,  // malformed, truncated, or not a property-list format
    NotADictionary,    // decode_domain: the top level is another type
    OverLimit,         // would exceed a size, count or depth limit: files over
                       // 64 MiB, values nested deeper than 512, values whose
                       // XML text would exceed 64 MiB (shared references in
                       // a binary list counted at every place they appear)
    NoMemory,          // an allocation failed
};

// A value tree for the bytes, owned by the caller; NULL with *status set
// when they cannot be decoded within the limits. Containers are mutable
// when mutability asks for it (kCFPropertyListMutableContainers). Integers
// become kCFNumberSInt64Type, reals kCFNumberFloat64Type.
CFPLIST_EXPORT CFPropertyListRef decode_value(const void *bytes, size_t size, CFOptionFlags mutability,
                               DecodeStatus *status);

struct DomainContents {
    CFDictionaryRef dictionary = nullptr;  // owned by the caller, immutable; NULL unless Ok
    DecodeStatus status = DecodeStatus::NotAPropertyList;
    // Top-level entries left out because their own value exceeded a limit
    // (the rest of the domain still reads).
    CFIndex omitted_entries = 0;
};

// A preference domain file: a dictionary at the top level.
CFPLIST_EXPORT DomainContents decode_domain(const void *bytes, size_t size);

// The value as XML text that every property-list reader accepts. False when
// the value (or anything in it) is not a property-list type, nests deeper
// than 512, holds a string or key that XML 1.0 text cannot carry (U+0000,
// other control characters but tab, LF and CR, U+FFFE, U+FFFF), or its text
// would exceed the limits; out is then unspecified.
CFPLIST_EXPORT bool encode_xml(CFPropertyListRef value, std::string &out);
// Whether encode_xml would succeed, found without building the text.
CFPLIST_EXPORT bool can_encode_xml(CFPropertyListRef value);

// The value as a binary property list. Shared references in memory stay
// shared in the file. False on the same grounds as encode_xml, except that
// any text can be written.
CFPLIST_EXPORT bool encode_binary(CFPropertyListRef value, std::string &out);

// The form a file should hold: XML when the value can be written as XML
// exactly, else binary (a string holding a control character, a date with a
// fraction of a second, which XML keeps in whole seconds), so that no value
// is truncated or mangled and every reader still accepts the file. False
// only when neither can be written.
CFPLIST_EXPORT bool encode_for_file(CFPropertyListRef value, std::string &out);

// A value of a top-level dictionary whose XML text was written before (by
// encode_entry_xml), to be copied into the file's text instead of being
// written again. The value must be one no one can change (no mutable
// container in it), or the copy could differ from it.
struct PrewrittenValue {
    CFPropertyListRef value;
    const std::string *text;
};
// encode_for_file, copying the text of the prewritten values among the
// top-level dictionary's own.
bool encode_for_file(CFPropertyListRef value, std::string &out, std::span<const PrewrittenValue> prewritten);
// The exact XML text of a value where it stands in a file's top-level
// dictionary; false when encode_for_file could not write it as XML.
bool encode_entry_xml(CFPropertyListRef value, std::string &out);

// Whether a file can hold the value as the value of one of its top-level
// dictionary's entries (one container deeper than the value itself), in XML
// or in binary, the way encode_for_file chooses: empty when it can, else why
// not, in words that follow "cannot be stored: " ("it is nested deeper than
// 512 containers"). Costs a binary writing of the value when XML cannot
// carry it.
CFPLIST_EXPORT std::string why_entry_cannot_be_written(CFPropertyListRef value);

// True when bytes start as a binary property list does.
CFPLIST_EXPORT bool is_binary_property_list(const void *bytes, size_t size);

}  // namespace cfplist
