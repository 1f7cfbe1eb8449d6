// Any text through the old-style property-list parser that `defaults write`
// uses: no crash (however deep the nesting), leak or undefined behaviour, and
// what parses prints as text that parses back to an equal value.
#include "old_style.h"
#include "value_text.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text(reinterpret_cast<const char *>(data), size);
    auto parsed = parse_old_style(text);
    if (!parsed) {
        if (parsed.message().empty()) abort();  // a refusal always says why
        return 0;
    }
    std::string printed = value_text(parsed->get());
    auto again = parse_old_style(printed);
    if (!again) {
        fprintf(stderr, "old style: printed text does not parse: %s\n", again.message().c_str());
        abort();
    }
    if (!CFEqual(again->get(), parsed->get())) {
        fprintf(stderr, "old style: printed text parses to another value:\n%s\n", printed.c_str());
        abort();
    }
    return 0;
}
