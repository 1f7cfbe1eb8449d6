// A domain file read, one key set, the domain written and read again, as
// the preference store does: what was read and set must come back equal,
// in whichever form the file was written, and every value read passes the
// store's check for a value about to be set.
#include "property_list_codec.h"

#include <CFRef.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

[[noreturn]] void fail(const char *what) {
    fprintf(stderr, "round trip: %s\n", what);
    abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    cfplist::DomainContents read = cfplist::decode_domain(data, size);
    if (read.status != cfplist::DecodeStatus::Ok) return 0;
    auto original = CFRef<CFDictionaryRef>::adopt(read.dictionary);
    // Every value read from a domain can be set back as it was.
    CFIndex count = CFDictionaryGetCount(original.get());
    std::vector<const void *> values(static_cast<size_t>(count));
    CFDictionaryGetKeysAndValues(original.get(), nullptr, values.data());
    for (const void *value : values)
        if (!cfplist::why_entry_cannot_be_written(value).empty()) fail("a value that was read cannot be set again");
    auto changed = CFRef<CFMutableDictionaryRef>::adopt(CFDictionaryCreateMutableCopy(nullptr, 0, original.get()));
    double speed = 2.5;
    auto number = CFRef<CFNumberRef>::adopt(CFNumberCreate(nullptr, kCFNumberDoubleType, &speed));
    CFDictionarySetValue(changed.get(), CFSTR("org.glissor.speed"), number.get());

    std::string bytes;
    if (!cfplist::encode_for_file(changed.get(), bytes)) fail("a domain that was read cannot be written");
    cfplist::DomainContents again = cfplist::decode_domain(bytes.data(), bytes.size());
    auto back = CFRef<CFDictionaryRef>::adopt(again.dictionary);
    if (again.status != cfplist::DecodeStatus::Ok || again.omitted_entries != 0) fail("what was written does not read");
    if (!CFEqual(back.get(), changed.get())) fail("what was written reads back different");
    return 0;
}
