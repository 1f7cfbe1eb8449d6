// The preference service: one read of one key in a small domain, and one
// set-and-synchronize, each as median and p99.
#include "timing.h"

#include "temp_home.h"

#include <CFRef.h>
#include <CoreFoundation/CoreFoundation.h>

using namespace glissor_bench;

int main() {
    glissor_test::TempHome home;
    CFStringRef domain = CFSTR("org.example.bench");
    float speed = 1.5f;
    auto number = CFRef<CFNumberRef>::adopt(CFNumberCreate(nullptr, kCFNumberFloatType, &speed));
    CFPreferencesSetAppValue(CFSTR("MouseSpeed"), number.get(), domain);
    CFPreferencesSetAppValue(CFSTR("TrackpadSpeed"), number.get(), domain);
    if (!CFPreferencesAppSynchronize(domain)) {
        fprintf(stderr, "preferences_bench: cannot write the domain\n");
        return 1;
    }

    report("CFPreferencesCopyAppValue (small domain)", measure(20000, [&] {
               CFPropertyListRef value = CFPreferencesCopyAppValue(CFSTR("MouseSpeed"), domain);
               if (value) CFRelease(value);
           }));
    report("CFPreferencesSetAppValue + AppSynchronize", measure(500, [&] {
               speed += 0.25f;
               auto changed = CFRef<CFNumberRef>::adopt(CFNumberCreate(nullptr, kCFNumberFloatType, &speed));
               CFPreferencesSetAppValue(CFSTR("MouseSpeed"), changed.get(), domain);
               CFPreferencesAppSynchronize(domain);
           }, 10));
    return 0;
}
