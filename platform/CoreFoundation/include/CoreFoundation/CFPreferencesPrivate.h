/*
 * CFPreferencesPrivate.h: calls of the preference service beyond the
 * public ones, for the system's own read-change-write of a stored list.
 */
#ifndef CF_PREFERENCES_PRIVATE_H
#define CF_PREFERENCES_PRIVATE_H

#include <CoreFoundation/CFPreferences.h>

CF_EXTERN_C_BEGIN

/* Forgets this process's pending change of key, so that the next Copy
 * reads the stored value again. Used after Synchronize refused to write a
 * list read before another process changed it: the caller drops its change,
 * reads the list again and redoes the change. */
CF_EXPORT void CFPreferencesDiscardPendingValue(CFStringRef key, CFStringRef applicationID,
                                                 CFStringRef userName, CFStringRef hostName);

CF_EXTERN_C_END

#endif
