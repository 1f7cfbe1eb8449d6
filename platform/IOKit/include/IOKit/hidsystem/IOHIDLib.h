/*
 * IOHIDLib.h: calls that change the pointer-event service's parameters.
 *
 * The handle is a connection from NXOpenEventStatus. Each call is one
 * request to the service and one reply, and allocates nothing. A handle
 * that is not open gives kIOReturnNotOpen; a connection the service
 * dropped, or a service that does not reply within two seconds, gives
 * kIOReturnNotResponding (and every later call on that handle does too).
 * Calls on one handle from several threads are serialized.
 */
#ifndef IOKIT_HIDSYSTEM_IOHIDLIB_H
#define IOKIT_HIDSYSTEM_IOHIDLIB_H

#include <IOKit/IOKitLib.h>
#include <IOKit/hidsystem/IOHIDParameter.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The legacy mouse-acceleration call. The service keeps the value apart
 * from the "HIDMouseAcceleration" parameter. */
kern_return_t IOHIDSetMouseAcceleration(io_connect_t handle, double acceleration);

/* Sets the parameter named key to size bytes at parameters. The service
 * refuses a parameter it was told to refuse (kIOReturnNotPermitted) and a
 * value of the wrong size for its key (kIOReturnBadArgument). A key that is
 * NULL, empty, longer than 127 characters or not printable ASCII without
 * spaces, a NULL buffer, a size of 0 or more than 256 bytes give
 * kIOReturnBadArgument without asking the service. key is borrowed. */
kern_return_t IOHIDSetParameter(io_connect_t handle, CFStringRef key, const void *parameters,
                                IOByteCount size);

/* Copies up to maxSize bytes of the parameter's value into parameters and
 * stores the number copied in actualSize (when not NULL). A parameter never
 * set gives kIOReturnNotFound. key is borrowed. */
kern_return_t IOHIDGetParameter(io_connect_t handle, CFStringRef key, IOByteCount maxSize,
                                void *parameters, IOByteCount *actualSize);

#ifdef __cplusplus
}
#endif

#endif
