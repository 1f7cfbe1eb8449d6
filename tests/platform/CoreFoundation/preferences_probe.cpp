// A second process for the preference tests: reads or writes a domain
// through the preference service, as another program of the user would.
//
//   preferences_probe dump-floats DOMAIN     each number as "KEY BITS" (float bits, hex)
//   preferences_probe write-many DOMAIN KEY N  sets KEY to 0..N-1, synchronizing each time
//   preferences_probe write-loop DOMAIN KEY    rewrites KEY with a large value until killed
#include <CoreFoundation/CoreFoundation.h>

#include <CFText.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

int dump_floats(const char *domain) {
    auto all = CFRef<CFDictionaryRef>::adopt(
        CFPreferencesCopyMultiple(nullptr, CFStringFromUTF8(domain).get(), kCFPreferencesCurrentUser, kCFPreferencesAnyHost));
    if (!all) return 1;
    CFIndex count = CFDictionaryGetCount(all.get());
    std::vector<const void *> keys(static_cast<size_t>(count)), values(static_cast<size_t>(count));
    CFDictionaryGetKeysAndValues(all.get(), keys.data(), values.data());
    for (size_t i = 0; i < keys.size(); ++i) {
        if (CFGetTypeID(values[i]) != CFNumberGetTypeID()) continue;
        float value = 0;
        Boolean exact = CFNumberGetValue(static_cast<CFNumberRef>(values[i]), kCFNumberFloatType, &value);
        unsigned bits = 0;
        memcpy(&bits, &value, sizeof bits);
        std::string key = UTF8FromCFString(static_cast<CFStringRef>(keys[i]));
        printf("%s %08x%s\n", key.c_str(), bits, exact ? "" : " inexact");
    }
    return 0;
}

int write_many(const char *domain, const char *key, int times) {
    auto name = CFStringFromUTF8(domain);
    auto key_ref = CFStringFromUTF8(key);
    for (int i = 0; i < times; ++i) {
        auto value = CFRef<CFNumberRef>::adopt(CFNumberCreate(nullptr, kCFNumberIntType, &i));
        CFPreferencesSetAppValue(key_ref.get(), value.get(), name.get());
        if (!CFPreferencesAppSynchronize(name.get())) return 1;
    }
    return 0;
}

// Large enough that a write takes a while, so a kill lands in the middle.
CFRef<CFArrayRef> big_value(int round) {
    auto array = CFRef<CFMutableArrayRef>::adopt(CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks));
    for (int i = 0; i < 2000; ++i) {
        std::string text = "round " + std::to_string(round) + " item " + std::to_string(i);
        CFArrayAppendValue(array.get(), CFStringFromUTF8(text.c_str()).get());
    }
    return CFRef<CFArrayRef>::adopt(array.release());
}

int write_loop(const char *domain, const char *key) {
    auto name = CFStringFromUTF8(domain);
    auto key_ref = CFStringFromUTF8(key);
    for (int round = 0;; ++round) {
        CFPreferencesSetAppValue(key_ref.get(), big_value(round).get(), name.get());
        CFPreferencesAppSynchronize(name.get());
    }
}

}  // namespace

int main(int argc, char **argv) {
    std::string command = argc > 1 ? argv[1] : "";
    if (command == "dump-floats" && argc == 3) return dump_floats(argv[2]);
    if (command == "write-many" && argc == 5) return write_many(argv[2], argv[3], atoi(argv[4]));
    if (command == "write-loop" && argc == 4) return write_loop(argv[2], argv[3]);
    fprintf(stderr, "usage: preferences_probe dump-floats DOMAIN | write-many DOMAIN KEY N | write-loop DOMAIN KEY\n");
    return 2;
}
