/*
 * CFData.h: byte strings, a property-list type kept so that a stored file
 * holding data is read and written back without loss.
 */
#ifndef CF_DATA_H
#define CF_DATA_H

#include <CoreFoundation/CFBase.h>

CF_EXTERN_C_BEGIN

typedef const struct __CFData *CFDataRef;
CF_EXPORT CFTypeID CFDataGetTypeID(void);
/* Copies length bytes. Caller owns the result. */
CF_EXPORT CFDataRef CFDataCreate(CFAllocatorRef allocator, const UInt8 *bytes, CFIndex length);
CF_EXPORT CFIndex CFDataGetLength(CFDataRef theData);
/* Borrowed; valid while the data lives. */
CF_EXPORT const UInt8 *CFDataGetBytePtr(CFDataRef theData);

CF_EXTERN_C_END

#endif
