// Appending and removing login items. Each reads the whole list, changes a
// mutable copy and writes it all back; records written by others go back
// unchanged, and a list another process wrote in between is read again
// rather than written over.
#include "LoginItems.h"
#include "LoginItemsStore.h"

using loginitems::ListState;

namespace {

// The list to append to: the stored one, or a new empty one when none is
// stored. NULL when the stored value is not a list (it is not ours to
// replace) or could not be read.
CFRef<CFArrayRef> copyListToExtend(CFStringRef user) {
    loginitems::StoredList stored = loginitems::copyStoredList(user);
    if (stored.state == ListState::Present) return stored.list;
    if (stored.state != ListState::Absent) return {};
    return CFRef<CFArrayRef>::adopt(CFArrayCreate(kCFAllocatorDefault, nullptr, 0, &kCFTypeArrayCallBacks));
}

// {Hide: hide, Path: path}, or NULL when it cannot be made.
CFRef<CFDictionaryRef> createRecord(CFStringRef path, CFBooleanRef hide) {
    const void *keys[] = {CFSTR("Hide")};
    const void *values[] = {hide};
    auto hideOnly = CFRef<CFDictionaryRef>::adopt(CFDictionaryCreate(
        kCFAllocatorDefault, keys, values, 1, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    if (!hideOnly) return {};
    auto record = CFRef<CFMutableDictionaryRef>::adopt(CFDictionaryCreateMutableCopy(kCFAllocatorDefault, 0, hideOnly.get()));
    if (!record) return {};
    CFDictionaryAddValue(record.get(), CFSTR("Path"), path);
    return CFRef<CFDictionaryRef>::adopt(record.release());
}

struct NewRecord {
    CFStringRef path;
    CFBooleanRef hide;
};

CFRef<CFArrayRef> appendRecord(CFArrayRef list, void *context) {
    auto *wanted = static_cast<NewRecord *>(context);
    auto extended = CFRef<CFMutableArrayRef>::adopt(CFArrayCreateMutableCopy(kCFAllocatorDefault, 0, list));
    if (!extended) return {};
    auto record = createRecord(wanted->path, wanted->hide);
    if (!record) return {};
    CFArrayAppendValue(extended.get(), record.get());
    return CFRef<CFArrayRef>::adopt(extended.release());
}

CFRef<CFArrayRef> removeRecord(CFArrayRef list, void *context) {
    int index = *static_cast<int *>(context);
    auto shortened = CFRef<CFMutableArrayRef>::adopt(CFArrayCreateMutableCopy(kCFAllocatorDefault, 0, list));
    if (!shortened) return {};
    // The list may have changed since it was counted.
    if (index >= CFArrayGetCount(shortened.get())) return {};
    CFArrayRemoveValueAtIndex(shortened.get(), index);
    return CFRef<CFArrayRef>::adopt(shortened.release());
}

}  // namespace

extern "C" Boolean AddLoginItemWithPropertiesToUser(CFStringRef user, CFStringRef path, int hide) {
    CFBooleanRef hideValue = hide == 1 ? kCFBooleanTrue : kCFBooleanFalse;  // only 1 means true
    if (!loginitems::isValidUser(user)) return false;
    if (!path || CFGetTypeID(path) != CFStringGetTypeID()) return false;
    NewRecord record{path, hideValue};
    return loginitems::rewriteList(user, copyListToExtend, appendRecord, &record);
}

extern "C" Boolean RemoveLoginItemAtIndex(CFStringRef user, int index) {
    if (index < 0 || index >= GetCountOfLoginItems(user)) return false;  // an invalid user counts 0
    if (!loginitems::isValidUser(user)) return false;
    return loginitems::rewriteList(user, loginitems::copyListIfPresent, removeRecord, &index);
}
