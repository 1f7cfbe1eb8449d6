// NXOpenEventStatus and NXCloseEventStatus.
#include <IOKit/hidsystem/event_status_driver.h>

#include "connection_table.h"
#include "export.h"

IOKIT_EXPORT NXEventHandle NXOpenEventStatus(void) { return iokit::open_connection(); }

IOKIT_EXPORT void NXCloseEventStatus(NXEventHandle handle) { iokit::close_connection(handle); }
