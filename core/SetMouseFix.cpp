// Applying both speeds to the pointer-event service.
#include "FixedPoint.h"
#include "MouseFix.h"

#include <IOKit/hidsystem/IOHIDLib.h>
#include <IOKit/hidsystem/IOHIDParameter.h>
#include <IOKit/hidsystem/event_status_driver.h>

namespace {

// Sends one speed as a 4-byte 16.16 parameter, in the machine's byte order.
bool sendFixedParameter(NXEventHandle handle, CFStringRef key, float speed) {
    int32_t fixed = GlissorSpeedToFixed(speed);
    return IOHIDSetParameter(handle, key, &fixed, sizeof fixed) == KERN_SUCCESS;
}

}  // namespace

extern "C" int setMouseFix(float mouse, float trackpad) {
    NXEventHandle handle = NXOpenEventStatus();
    if (handle == 0) return kMouseFixNoService;

    (void)IOHIDSetMouseAcceleration(handle, static_cast<double>(mouse));  // legacy call; result unused
    int status = kMouseFixSuccess;
    if (!sendFixedParameter(handle, CFSTR(kIOHIDMouseAccelerationType), mouse))
        status = kMouseFixMouseRefused;  // the trackpad is not sent then
    else if (!sendFixedParameter(handle, CFSTR(kIOHIDTrackpadAccelerationType), trackpad))
        status = kMouseFixTrackpadRefused;

    NXCloseEventStatus(handle);
    return status;
}
