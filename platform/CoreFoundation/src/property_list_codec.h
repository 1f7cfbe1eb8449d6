// Reading and writing property-list bytes (XML or binary in, XML out) with
// explicit limits, so that no file, however it was made, can crash, hang or
// exhaust the process that reads it.
//
// Everything the value layer and the preference store read or write goes
// through here.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <cstddef>
#include <string>

namespace cfplist {

enum class DecodeStatus {
    Ok,
    NotAPropertyList,  // malformed, truncated, or not a property-list format
    NotADictionary,    // decode_domain: the top level is another type
    OverLimit,         // would exceed a size, count or depth limit
    NoMemory,          // an allocation failed
};

// A value tree for the bytes, owned by the caller; NULL with *status set
// when they cannot be decoded within the limits. Containers are mutable
// when mutability asks for it (kCFPropertyListMutableContainers). Integers
// become kCFNumberSInt64Type, reals kCFNumberFloat64Type.
CFPropertyListRef decode_value(const void *bytes, size_t size, CFOptionFlags mutability,
                               DecodeStatus *status);

struct DomainContents {
    CFDictionaryRef dictionary = nullptr;  // owned by the caller, immutable; NULL unless Ok
    DecodeStatus status = DecodeStatus::NotAPropertyList;
    // Top-level entries left out because their own value exceeded a limit
    // (the rest of the domain still reads).
    CFIndex omitted_entries = 0;
};

// A preference domain file: a dictionary at the top level.
DomainContents decode_domain(const void *bytes, size_t size);

// The value as XML text that every property-list reader accepts. False when
// the value (or anything in it) is not a property-list type, or its text
// would exceed the limits; out is then unspecified.
bool encode_xml(CFPropertyListRef value, std::string &out);

}  // namespace cfplist
