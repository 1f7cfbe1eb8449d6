/*
 * IOHIDParameter.h: names of the pointer-event service's parameters.
 */
#ifndef IOKIT_HIDSYSTEM_IOHIDPARAMETER_H
#define IOKIT_HIDSYSTEM_IOHIDPARAMETER_H

/* Mouse and trackpad acceleration: 4 bytes each, a signed 32-bit 16.16
 * fixed-point value in the machine's byte order. */
#define kIOHIDMouseAccelerationType "HIDMouseAcceleration"
#define kIOHIDTrackpadAccelerationType "HIDTrackpadAcceleration"

#endif
