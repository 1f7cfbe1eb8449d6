/*
 * CFTesting.h: test-only hooks into the value layer. Not for system code.
 */
#ifndef CF_TESTING_H
#define CF_TESTING_H

#include <CoreFoundation/CFBase.h>

CF_EXTERN_C_BEGIN

/* Values created and not yet freed (immortal constants excluded). */
CF_EXPORT CFIndex CFTestingLiveValueCount(void);
/* Whether CFRetain and CFRelease check that their value is still alive, so
 * that an over-release stops the process by name. Only processes started
 * with CF_CHECK_LIVE_VALUES=1 pay for the check; the test suites run so. */
CF_EXPORT Boolean CFTestingChecksLiveValues(void);
/* Makes the nth value allocation from now fail (1: the next one), once.
 * 0 disarms. Create and Copy functions then return NULL. */
CF_EXPORT void CFTestingFailAllocation(CFIndex nth);
/* Value allocations made so far, failed ones included; a test takes the
 * difference around a call to learn how many allocations it makes. */
CF_EXPORT CFIndex CFTestingAllocationCount(void);

/* The preference service lets go of the file contents it keeps between
 * reads (they are read again when next needed), so that a test can count
 * the values it left alive. Pending changes stay. */
CF_EXPORT void CFTestingForgetPreferenceCaches(void);

CF_EXTERN_C_END

#endif
