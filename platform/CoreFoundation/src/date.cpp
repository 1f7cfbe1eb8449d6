// CFDate: a moment, as seconds since 2001-01-01 00:00:00 UTC.
#include "runtime.h"
#include "string_storage.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

struct __CFDate : cf::RuntimeBase {
    explicit __CFDate(CFAbsoluteTime at) noexcept : RuntimeBase(cf::kDateTypeID), time(at) {}
    const CFAbsoluteTime time;
};

namespace {

const __CFDate *as_date(CFTypeRef value) { return static_cast<const __CFDate *>(value); }

Boolean date_equal(CFTypeRef a, CFTypeRef b) { return as_date(a)->time == as_date(b)->time; }

CFHashCode date_hash(CFTypeRef value) {
    double time = as_date(value)->time;
    if (time == 0) time = 0;  // one hash for 0 and -0, which are equal
    uint64_t bits;
    memcpy(&bits, &time, sizeof bits);
    return cf::mix_hash(bits);
}

// "2001-01-01 00:00:00 +0000"; a time no calendar date holds shows as its
// number of seconds.
CFStringRef date_copy_description(CFTypeRef value) {
    double seconds = std::floor(as_date(value)->time + kCFAbsoluteTimeIntervalSince1970);
    char text[64];
    struct tm calendar {};
    bool representable = std::isfinite(seconds) && std::fabs(seconds) < 1e15;
    auto unix_time = static_cast<time_t>(representable ? seconds : 0);
    if (representable && gmtime_r(&unix_time, &calendar)) {
        strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S +0000", &calendar);
    } else {
        // std::to_chars: the same text whatever the process locale.
        auto end = std::to_chars(text, text + sizeof text - 1, as_date(value)->time).ptr;
        *end = '\0';
    }
    return cf::create_string_from_utf8(text);
}

}  // namespace

const cf::RuntimeClass cf::kDateClass = {
    "CFDate", cf::destroy_value<__CFDate>, date_equal, date_hash, date_copy_description,
};

const CFTimeInterval kCFAbsoluteTimeIntervalSince1970 = 978307200.0;

CFTypeID CFDateGetTypeID(void) { return cf::kDateTypeID; }

CFDateRef CFDateCreate(CFAllocatorRef, CFAbsoluteTime at) { return cf::create_value<__CFDate>(at); }

CFAbsoluteTime CFDateGetAbsoluteTime(CFDateRef theDate) {
    return cf::checked<__CFDate>(theDate, cf::kDateTypeID, "CFDateGetAbsoluteTime")->time;
}

CFAbsoluteTime CFAbsoluteTimeGetCurrent(void) {
    struct timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<double>(now.tv_sec) - kCFAbsoluteTimeIntervalSince1970 +
           static_cast<double>(now.tv_nsec) / 1e9;
}
