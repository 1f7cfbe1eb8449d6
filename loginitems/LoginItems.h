/*
 * The login items list: the login window's list of applications to open
 * at login, stored in the "loginwindow" domain under
 * "AutoLaunchedApplicationDictionary" as an array of records, each a
 * dictionary with "Path" (string) and "Hide" (boolean).
 *
 * The user argument must be kCFPreferencesCurrentUser or
 * kCFPreferencesAnyUser themselves (compared by reference); with anything
 * else each function returns its failure result and touches nothing.
 * Every call reads the stored list afresh. Exported by the pane plug-in.
 */
#ifndef GLISSOR_LOGIN_ITEMS_H
#define GLISSOR_LOGIN_ITEMS_H

#include <CoreFoundation/CoreFoundation.h>

#define GLISSOR_LOGIN_ITEMS_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

/* Property selectors of CopyLoginItemPropertyAtIndex. */
enum {
    kLoginItemPathInfo = 1, /* the full path, the "Path" string */
    kLoginItemNameInfo = 2, /* the last piece of the path split at every "/" */
    kLoginItemHideInfo = 3  /* "Hide" (true) or "DoNotHide" (false) */
};

/* Number of records; 0 when the user is invalid or no list is stored. */
GLISSOR_LOGIN_ITEMS_API int GetCountOfLoginItems(CFStringRef user);
/* One property of record index, owned by the caller; NULL when the
 * arguments are out of range or the record does not hold it. */
GLISSOR_LOGIN_ITEMS_API CFStringRef CopyLoginItemPropertyAtIndex(CFStringRef user, int property, int index);
/* Appends a record {Path: path, Hide: hide == 1}. True when the write
 * reached storage. Does not look for an existing entry. When another
 * program changes the list between this call's read and its write, the
 * record is appended again to the list as it is then (a few times at most),
 * so that neither this record nor the other program's change is lost. */
GLISSOR_LOGIN_ITEMS_API Boolean AddLoginItemWithPropertiesToUser(CFStringRef user, CFStringRef path, int hide);
/* Removes record index; later records move down. True when the write
 * reached storage. Redone on the new list, as Add is, when another program
 * changed the list meanwhile. */
GLISSOR_LOGIN_ITEMS_API Boolean RemoveLoginItemAtIndex(CFStringRef user, int index);
/* Diagnostic printers, to standard output. */
GLISSOR_LOGIN_ITEMS_API Boolean PrintOutLoginItemAtIndex(CFStringRef user, int index);
GLISSOR_LOGIN_ITEMS_API Boolean PrintOutAllLoginItems(CFStringRef user);
GLISSOR_LOGIN_ITEMS_API Boolean PrintNumberOfLoginItems(CFStringRef user);

#ifdef __cplusplus
}
#endif

#endif
