// Reading and writing the stored login items list.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <CFRef.h>

namespace loginitems {

// Only the two scope constants themselves; a string with the same text is
// not a user.
bool isValidUser(CFStringRef user);

enum class ListState {
    Absent,   // nothing stored: the list is empty
    Present,  // an array
    Foreign,  // something else stored under the key: left alone
    Failed    // could not be read (allocation failure)
};

struct StoredList {
    ListState state = ListState::Absent;
    CFRef<CFArrayRef> list;  // set when Present
};

StoredList copyStoredList(CFStringRef user);
// The stored list when it is an array, else NULL.
CFRef<CFArrayRef> copyListIfPresent(CFStringRef user);
// Makes the new list from a list read by read (NULL: give up), writes it
// back whole and synchronizes. When another process wrote the list between
// the read and the write, the write is refused: the change is dropped, and
// made again from the list as it is now, a few times. True when a change
// reached storage; on false nothing of it stays pending.
using ListReader = CFRef<CFArrayRef> (*)(CFStringRef user);
using ListChange = CFRef<CFArrayRef> (*)(CFArrayRef list, void *context);
Boolean rewriteList(CFStringRef user, ListReader read, ListChange change, void *context);

}  // namespace loginitems
