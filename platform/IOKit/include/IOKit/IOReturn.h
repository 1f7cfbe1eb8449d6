/*
 * IOReturn.h: the status codes IOKit calls return.
 *
 * Every code of the common IOKit subsystem is 0xe0000000 plus a small
 * number; kIOReturnSuccess is 0. They are negative ints, so they compare
 * equal to what a kern_return_t holds.
 */
#ifndef IOKIT_IORETURN_H
#define IOKIT_IORETURN_H

#include <IOKit/IOTypes.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef kern_return_t IOReturn;

#ifdef __cplusplus
#define IOKIT_RETURN_SIGNED_(x) static_cast<int>(x)
#define IOKIT_RETURN_UNSIGNED_(x) static_cast<unsigned int>(x)
#else
#define IOKIT_RETURN_SIGNED_(x) ((int)(x))
#define IOKIT_RETURN_UNSIGNED_(x) ((unsigned int)(x))
#endif

#ifndef err_system
#define err_system(x) IOKIT_RETURN_SIGNED_((IOKIT_RETURN_UNSIGNED_(x) & 0x3f) << 26)
#define err_sub(x) (((x) & 0xfff) << 14)
#endif

#define sys_iokit err_system(0x38)
#define sub_iokit_common err_sub(0)
#define iokit_common_err(return_code) (sys_iokit | sub_iokit_common | (return_code))

#define kIOReturnSuccess KERN_SUCCESS
#define kIOReturnError iokit_common_err(0x2bc)            /* general error */
#define kIOReturnNoMemory iokit_common_err(0x2bd)         /* can't allocate memory */
#define kIOReturnNoResources iokit_common_err(0x2be)      /* resource shortage */
#define kIOReturnIPCError iokit_common_err(0x2bf)         /* error during IPC */
#define kIOReturnNoDevice iokit_common_err(0x2c0)         /* no such device */
#define kIOReturnNotPrivileged iokit_common_err(0x2c1)    /* privilege violation */
#define kIOReturnBadArgument iokit_common_err(0x2c2)      /* invalid argument */
#define kIOReturnExclusiveAccess iokit_common_err(0x2c5)  /* exclusive access and device already open */
#define kIOReturnUnsupported iokit_common_err(0x2c7)      /* unsupported function */
#define kIOReturnInternalError iokit_common_err(0x2c9)    /* internal error */
#define kIOReturnIOError iokit_common_err(0x2ca)          /* general I/O error */
#define kIOReturnNotOpen iokit_common_err(0x2cd)          /* device not open */
#define kIOReturnBusy iokit_common_err(0x2d5)             /* device busy */
#define kIOReturnTimeout iokit_common_err(0x2d6)          /* I/O timeout */
#define kIOReturnNoSpace iokit_common_err(0x2db)          /* no space for data */
#define kIOReturnMessageTooLarge iokit_common_err(0x2e1)  /* oversized message received */
#define kIOReturnNotPermitted iokit_common_err(0x2e2)     /* not permitted */
#define kIOReturnNotResponding iokit_common_err(0x2ed)    /* device not responding */
#define kIOReturnNotFound iokit_common_err(0x2f0)         /* data was not found */

#ifdef __cplusplus
}
#endif

#endif
