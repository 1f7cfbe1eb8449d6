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

/* Connects to this user's event service and sends it the protocol hello.
 * The handle is what the IOHID calls take; 0 when no service listens or 64
 * handles are open already. The hello's reply is read with the first call's,
 * which fails with kIOReturnNotResponding (or the service's refusal) when
 * whatever listens is no event service. Close it with NXCloseEventStatus. */
NXEventHandle NXOpenEventStatus(void);

/* Disconnects. A handle that is 0 or not open is ignored. */
void NXCloseEventStatus(NXEventHandle handle);

#ifdef __cplusplus
}
#endif

#endif
