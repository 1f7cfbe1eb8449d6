/*
 * CFPreferencesPrivate.h: calls of the preference service beyond the
 * public ones, for the system's own read-change-write of a stored list and
 * for programs that look at the store's files themselves.
 */
#ifndef CF_PREFERENCES_PRIVATE_H
#define CF_PREFERENCES_PRIVATE_H

#include <CoreFoundation/CFData.h>
#include <CoreFoundation/CFDictionary.h>
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

/* Why the last CFPreferencesSynchronize of this domain and scope in this
 * process returned false, in one line ("the value of key K cannot be
 * stored: it is nested deeper than 512 containers", "the folder F belongs
 * to user 1000, not to this user (0)"), for a program to tell its user; NULL
 * when it did not fail. Follows the Create rule. */
CF_EXPORT CFStringRef CFPreferencesCopySynchronizeFailure(CFStringRef applicationID, CFStringRef userName,
                                                         CFStringRef hostName);

/* Why a domain file could not hold the value as one of its entries ("it is
 * nested deeper than 512 containers", "it holds a value of a type no
 * property list can hold"), or NULL when it could (in XML, or in binary when
 * XML cannot carry its text). The check CFPreferencesSetValue makes. Follows
 * the Create rule. */
CF_EXPORT CFStringRef CFPreferencesCopyWhyValueCannotBeStored(CFPropertyListRef value);

/* The top-level dictionary of a preference domain's file (XML or binary),
 * with every top-level entry whose own value is beyond the property-list
 * limits (nested deeper than 512 containers) left out and counted in
 * *omittedEntries (when not NULL), as the preference service reads a domain:
 * one such entry does not hide the others. NULL when the bytes are not a
 * property list with a dictionary at the top, within the limits. Follows
 * the Create rule; the dictionary is immutable. */
CF_EXPORT CFDictionaryRef CFPreferencesCreateDomainWithData(CFDataRef data, CFIndex *omittedEntries);

CF_EXTERN_C_END

#endif
