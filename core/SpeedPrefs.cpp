// Reading the stored speeds.
#include "MouseFix.h"
#include "PaneIdentifier.h"
#include "SpeedSettings.h"

#include <CoreFoundation/CoreFoundation.h>

namespace {

// The setting under key in the pane's domain; 1.0 when it is absent or is
// not a number. A number of another width is converted to float.
float readSpeedPref(CFStringRef key) {
    float result = kGlissorDefaultSpeed;
    CFPropertyListRef value = CFPreferencesCopyAppValue(key, kGlissorPaneIdentifier);
    if (!value) return result;
    if (CFGetTypeID(value) == CFNumberGetTypeID())
        CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberFloatType, &result);
    CFRelease(value);
    return result;
}

}  // namespace

extern "C" float readMousePref(void) { return readSpeedPref(CFSTR(kGlissorMouseSpeedKey)); }

extern "C" float readTrackpadPref(void) { return readSpeedPref(CFSTR(kGlissorTrackpadSpeedKey)); }
