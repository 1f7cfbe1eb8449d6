/*
 * CFPreferencesPrivate.h: calls of the preference service beyond the
 * public ones, for the system's own read-change-write of a stored list and
 * for programs that look at the store's files themselves.
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

/* The name this machine has in the store's per-host file names
 * ("DOMAIN.NAME.plist" under ByHost), the files kCFPreferencesCurrentHost
 * reads and writes. Follows the Create rule; NULL when out of memory. */
CF_EXPORT CFStringRef CFPreferencesCopyHostIdentifier(void);

/* The directory that holds the domain files of that user and host (the
 * scope constants), or NULL when the user or host is not one the service
 * knows. Follows the Create rule. */
CF_EXPORT CFStringRef CFPreferencesCopyDomainDirectory(CFStringRef userName, CFStringRef hostName);

CF_EXTERN_C_END

#endif
