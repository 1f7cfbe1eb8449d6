/*
 * CFPreferences.h: the per-user preference service.
 *
 * A domain (application ID) in a scope (user, host) is one property-list
 * file. Set records a change that stays pending in this process until
 * Synchronize writes it; Copy sees this process's pending changes first,
 * then the file as it is now. Values returned by Copy are owned by the
 * caller; values read from the file are immutable and may be shared with
 * other callers. See docs/platform.md for the files and their locking.
 */
#ifndef CF_PREFERENCES_H
#define CF_PREFERENCES_H

#include <CoreFoundation/CFBase.h>
#include <CoreFoundation/CFArray.h>
#include <CoreFoundation/CFDictionary.h>

CF_EXTERN_C_BEGIN

/* Fixed, immortal, distinct references. */
CF_EXPORT const CFStringRef kCFPreferencesAnyApplication;
CF_EXPORT const CFStringRef kCFPreferencesCurrentApplication;
CF_EXPORT const CFStringRef kCFPreferencesAnyHost;
CF_EXPORT const CFStringRef kCFPreferencesCurrentHost;
CF_EXPORT const CFStringRef kCFPreferencesAnyUser;
CF_EXPORT const CFStringRef kCFPreferencesCurrentUser;

/* The App calls work in the current user's any-host scope. */
CF_EXPORT CFPropertyListRef CFPreferencesCopyAppValue(CFStringRef key, CFStringRef applicationID);
/* value NULL removes the key. Pending until synchronized. */
CF_EXPORT void CFPreferencesSetAppValue(CFStringRef key, CFPropertyListRef value,
                                        CFStringRef applicationID);
CF_EXPORT Boolean CFPreferencesAppSynchronize(CFStringRef applicationID);

CF_EXPORT CFPropertyListRef CFPreferencesCopyValue(CFStringRef key, CFStringRef applicationID,
                                                   CFStringRef userName, CFStringRef hostName);
/* keysToFetch NULL: every key. Always a dictionary, possibly empty, or
 * NULL for an unknown scope. Caller owns it. */
CF_EXPORT CFDictionaryRef CFPreferencesCopyMultiple(CFArrayRef keysToFetch,
                                                    CFStringRef applicationID,
                                                    CFStringRef userName, CFStringRef hostName);
CF_EXPORT void CFPreferencesSetValue(CFStringRef key, CFPropertyListRef value,
                                     CFStringRef applicationID, CFStringRef userName,
                                     CFStringRef hostName);
CF_EXPORT void CFPreferencesSetMultiple(CFDictionaryRef keysToSet, CFArrayRef keysToRemove,
                                        CFStringRef applicationID, CFStringRef userName,
                                        CFStringRef hostName);
/* Writes the pending changes of the domain in that scope. False when they
 * did not reach storage; they then stay pending. Also false, writing
 * nothing, when a key read here and set to an array or dictionary has been
 * changed in the file by another process since it was read. */
CF_EXPORT Boolean CFPreferencesSynchronize(CFStringRef applicationID, CFStringRef userName,
                                           CFStringRef hostName);
/* The domain's keys, or NULL when it holds none. Caller owns it. */
CF_EXPORT CFArrayRef CFPreferencesCopyKeyList(CFStringRef applicationID, CFStringRef userName,
                                              CFStringRef hostName);

CF_EXTERN_C_END

#endif
