/*
 * IOTypes.h: the basic types of the IOKit user-space API.
 */
#ifndef IOKIT_IOTYPES_H
#define IOKIT_IOTYPES_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifndef KERN_SUCCESS
/* The result of every call that talks to the system: 0 or an error code. */
typedef int kern_return_t;
#define KERN_SUCCESS 0
#endif

#ifndef MACH_PORT_NULL
/* A connection to a service. 0 names no connection. */
typedef unsigned int mach_port_t;
#define MACH_PORT_NULL 0
#endif

typedef mach_port_t io_object_t;
typedef io_object_t io_connect_t;
typedef io_object_t io_service_t;

typedef uint32_t IOByteCount;
typedef uint32_t IOOptionBits;

#ifdef __cplusplus
}
#endif

#endif
