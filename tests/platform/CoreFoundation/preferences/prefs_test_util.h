// Small helpers shared by the preference tests.
#pragma once

#include "temp_home.h"

#include <CFText.h>

#include <string>

namespace prefs_test {

inline CFRef<CFStringRef> cf(const std::string &text) { return CFStringFromUTF8(text); }

inline CFRef<CFNumberRef> float_number(float value) {
    return CFRef<CFNumberRef>::adopt(CFNumberCreate(nullptr, kCFNumberFloatType, &value));
}

inline CFRef<CFNumberRef> int_number(int value) {
    return CFRef<CFNumberRef>::adopt(CFNumberCreate(nullptr, kCFNumberIntType, &value));
}

inline CFRef<CFPropertyListRef> copy_app_value(const std::string &key, const std::string &domain) {
    return CFRef<CFPropertyListRef>::adopt(CFPreferencesCopyAppValue(cf(key).get(), cf(domain).get()));
}

inline int int_of(CFPropertyListRef value) {
    int result = -1;
    if (value && CFGetTypeID(value) == CFNumberGetTypeID())
        CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberIntType, &result);
    return result;
}

// Sets and synchronizes one app value; the synchronize's result.
inline bool store(const std::string &key, CFPropertyListRef value, const std::string &domain) {
    CFPreferencesSetAppValue(cf(key).get(), value, cf(domain).get());
    return CFPreferencesAppSynchronize(cf(domain).get());
}

// Whether the file parses as a property list with a dictionary at the top.
bool parses_as_dictionary(const std::string &path);

}  // namespace prefs_test
