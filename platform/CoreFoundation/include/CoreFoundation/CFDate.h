/*
 * CFDate.h: points in time, a property-list type kept so that a stored file
 * holding dates is read and written back without loss.
 */
#ifndef CF_DATE_H
#define CF_DATE_H

#include <CoreFoundation/CFBase.h>

CF_EXTERN_C_BEGIN

typedef const struct __CFDate *CFDateRef;
/* Seconds since 2001-01-01 00:00:00 UTC. */
typedef double CFAbsoluteTime;
typedef double CFTimeInterval;

CF_EXPORT const CFTimeInterval kCFAbsoluteTimeIntervalSince1970;

CF_EXPORT CFTypeID CFDateGetTypeID(void);
/* Caller owns the result. */
CF_EXPORT CFDateRef CFDateCreate(CFAllocatorRef allocator, CFAbsoluteTime at);
CF_EXPORT CFAbsoluteTime CFDateGetAbsoluteTime(CFDateRef theDate);
CF_EXPORT CFAbsoluteTime CFAbsoluteTimeGetCurrent(void);

CF_EXTERN_C_END

#endif
