// Helpers shared by the value-layer tests.
#pragma once

#include <CoreFoundation/CFTesting.h>
#include <CoreFoundation/CoreFoundation.h>
#include <gtest/gtest.h>

#include <CFText.h>

#include <functional>
#include <string>

#include "temp_home.h"

namespace values_test {

inline CFRef<CFStringRef> str(const char *utf8) { return CFStringFromUTF8(utf8); }

template <typename T>
CFRef<CFNumberRef> number(CFNumberType type, T value) {
    return CFRef<CFNumberRef>::adopt(CFNumberCreate(nullptr, type, &value));
}

inline std::string describe(CFTypeRef value) {
    if (!value) return "(null)";
    auto description = CFRef<CFStringRef>::adopt(CFCopyDescription(value));
    return UTF8FromCFString(description.get());
}

// EXPECT_PRED_FORMAT2(cf_equal, a, b): CFEqual, showing both values when not.
inline ::testing::AssertionResult cf_equal(const char *a_text, const char *b_text, CFTypeRef a,
                                           CFTypeRef b) {
    if (a && b && CFEqual(a, b)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << a_text << " is " << describe(a) << "\n"
                                         << b_text << " is " << describe(b);
}

// The values of a call that makes a value, released on every path.
using Maker = std::function<CFTypeRef()>;

// Value allocations the maker makes when nothing fails.
inline CFIndex allocations_of(const Maker &make) {
    CFIndex before = CFTestingAllocationCount();
    CFTypeRef made = make();
    CFIndex used = CFTestingAllocationCount() - before;
    EXPECT_NE(made, nullptr);
    if (made) CFRelease(made);
    return used;
}

// Fails each of the maker's allocations in turn: every time it must give
// NULL and leave no value behind.
inline void expect_each_failure_is_clean(const std::string &name, const Maker &make) {
    CFIndex allocations = allocations_of(make);
    EXPECT_GT(allocations, 0) << name << " makes no value";
    for (CFIndex nth = 1; nth <= allocations; ++nth) {
        CFIndex live = CFTestingLiveValueCount();
        CFTestingFailAllocation(nth);
        CFTypeRef made = make();
        CFTestingFailAllocation(0);
        EXPECT_EQ(made, nullptr) << name << " succeeded with allocation " << nth << " failing";
        if (made) CFRelease(made);
        EXPECT_EQ(CFTestingLiveValueCount(), live) << name << " leaked with allocation " << nth
                                                   << " failing";
    }
}

}  // namespace values_test
