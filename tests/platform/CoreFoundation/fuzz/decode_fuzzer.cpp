// Any bytes through the property-list readers: no crash, leak or undefined
// behaviour, and what reads is a property list that can be written. The
// store's check of a value about to be set agrees with what the writer
// does with it one level down, as a domain's entry.
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
    if (value) {
        const void *key = CFSTR("k");
        const void *item = value.get();
        auto entry = CFRef<CFDictionaryRef>::adopt(
            CFDictionaryCreate(nullptr, &key, &item, 1, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
        bool writable = cfplist::encode_for_file(entry.get(), bytes);
        if (writable != cfplist::why_entry_cannot_be_written(value.get()).empty()) abort();
    }
    return 0;
}
