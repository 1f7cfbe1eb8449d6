// Any bytes through the property-list readers: no crash, leak or undefined
// behaviour, and what reads is a property list that can be written.
#include "property_list_codec.h"

#include <CFRef.h>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    cfplist::DecodeStatus status{};
    auto value = CFRef<CFPropertyListRef>::adopt(cfplist::decode_value(data, size, kCFPropertyListImmutable, &status));
    if (static_cast<bool>(value) != (status == cfplist::DecodeStatus::Ok)) abort();
    auto mutable_value = CFRef<CFPropertyListRef>::adopt(
        cfplist::decode_value(data, size, kCFPropertyListMutableContainers, &status));
    cfplist::DomainContents domain = cfplist::decode_domain(data, size);
    auto dictionary = CFRef<CFDictionaryRef>::adopt(domain.dictionary);
    if (static_cast<bool>(dictionary) != (domain.status == cfplist::DecodeStatus::Ok)) abort();
    std::string bytes;
    if (value && !cfplist::encode_for_file(value.get(), bytes)) abort();
    return 0;
}
