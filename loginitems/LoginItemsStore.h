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
// Writes the whole list back and synchronizes; the synchronize's result.
Boolean writeList(CFStringRef user, CFArrayRef list);

}  // namespace loginitems
