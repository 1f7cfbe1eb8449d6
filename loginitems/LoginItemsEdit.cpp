// Appending and removing login items. Each reads the whole list, changes a
// mutable copy and writes it all back; records written by others go back
// unchanged.
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

}  // namespace

extern "C" Boolean AddLoginItemWithPropertiesToUser(CFStringRef user, CFStringRef path, int hide) {
    CFBooleanRef hideValue = hide == 1 ? kCFBooleanTrue : kCFBooleanFalse;  // only 1 means true
    if (!loginitems::isValidUser(user)) return false;
    if (!path || CFGetTypeID(path) != CFStringGetTypeID()) return false;
    auto list = copyListToExtend(user);
    if (!list) return false;
    auto extended = CFRef<CFMutableArrayRef>::adopt(CFArrayCreateMutableCopy(kCFAllocatorDefault, 0, list.get()));
    if (!extended) return false;
    auto record = createRecord(path, hideValue);
    if (!record) return false;
    CFArrayAppendValue(extended.get(), record.get());
    return loginitems::writeList(user, extended.get());
}

extern "C" Boolean RemoveLoginItemAtIndex(CFStringRef user, int index) {
    if (index < 0 || index >= GetCountOfLoginItems(user)) return false;  // an invalid user counts 0
    if (!loginitems::isValidUser(user)) return false;
    auto list = loginitems::copyListIfPresent(user);
    if (!list) return false;
    auto shortened = CFRef<CFMutableArrayRef>::adopt(CFArrayCreateMutableCopy(kCFAllocatorDefault, 0, list.get()));
    if (!shortened) return false;
    // The list may have changed since it was counted.
    if (index >= CFArrayGetCount(shortened.get())) return false;
    CFArrayRemoveValueAtIndex(shortened.get(), index);
    return loginitems::writeList(user, shortened.get());
}
