/*
 * CFData.h and dates: the remaining property-list types, kept so that a
 * stored file holding them is read and written back without loss.
 */
#ifndef CF_DATA_H
#define CF_DATA_H

#include <CoreFoundation/CFBase.h>

CF_EXTERN_C_BEGIN

typedef const struct __CFData *CFDataRef;
typedef const struct __CFDate *CFDateRef;
/* Seconds since 2001-01-01 00:00:00 UTC. */
typedef double CFAbsoluteTime;
typedef double CFTimeInterval;

CF_EXPORT const CFTimeInterval kCFAbsoluteTimeIntervalSince1970;

CF_EXPORT CFTypeID CFDataGetTypeID(void);
/* Copies length bytes. Caller owns the result. */
CF_EXPORT CFDataRef CFDataCreate(CFAllocatorRef allocator, const UInt8 *bytes, CFIndex length);
CF_EXPORT CFIndex CFDataGetLength(CFDataRef theData);
/* Borrowed; valid while the data lives. */
CF_EXPORT const UInt8 *CFDataGetBytePtr(CFDataRef theData);

CF_EXPORT CFTypeID CFDateGetTypeID(void);
CF_EXPORT CFDateRef CFDateCreate(CFAllocatorRef allocator, CFAbsoluteTime at);
CF_EXPORT CFAbsoluteTime CFDateGetAbsoluteTime(CFDateRef theDate);
CF_EXPORT CFAbsoluteTime CFAbsoluteTimeGetCurrent(void);

CF_EXTERN_C_END

#endif
