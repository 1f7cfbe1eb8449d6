/*
 * event_status_driver.h: connections to the pointer-event service.
 */
#ifndef IOKIT_HIDSYSTEM_EVENT_STATUS_DRIVER_H
#define IOKIT_HIDSYSTEM_EVENT_STATUS_DRIVER_H

#include <IOKit/IOTypes.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef mach_port_t NXEventHandle;

/* Connects to this user's event service and checks that it answers. The
 * handle is what the IOHID calls take; 0 when no service answers or 64
 * handles are open already. Close it with NXCloseEventStatus. */
NXEventHandle NXOpenEventStatus(void);

/* Disconnects. A handle that is 0 or not open is ignored. */
void NXCloseEventStatus(NXEventHandle handle);

#ifdef __cplusplus
}
#endif

#endif
