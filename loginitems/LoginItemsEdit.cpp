// Appending and removing login items. Each reads the whole list, makes the
// changed list and writes it all back; records written by others go back
// unchanged, and a list another process wrote in between is read again
// rather than written over. The lists and records made here are immutable,
// so the preferences keep what was written as it is instead of copying it.
#include "LoginItems.h"
#include "LoginItemsStore.h"

#include <memory>
#include <new>

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
    return CFRef<CFDictionaryRef>::adopt(CFDictionaryCreateCopy(kCFAllocatorDefault, record.get()));
}

// The list's records, with `record` put at `index` or, without one, the
// record at `index` left out; NULL when out of memory.
CFRef<CFArrayRef> createChangedList(CFArrayRef list, CFIndex index, CFDictionaryRef record) {
    CFIndex count = CFArrayGetCount(list);
    CFIndex changed = record ? count + 1 : count - 1;
    std::unique_ptr<const void *[]> records(new (std::nothrow) const void *[static_cast<size_t>(changed) + 1]);
    if (!records) return {};
    CFIndex at = 0;
    for (CFIndex i = 0; i < count; ++i) {
        if (i == index && record) records[at++] = record;
        if (i != index || record) records[at++] = CFArrayGetValueAtIndex(list, i);
    }
    if (index == count && record) records[at++] = record;
    return CFRef<CFArrayRef>::adopt(CFArrayCreate(kCFAllocatorDefault, records.get(), changed, &kCFTypeArrayCallBacks));
}

struct NewRecord {
    CFStringRef path;
    CFBooleanRef hide;
};

CFRef<CFArrayRef> appendRecord(CFArrayRef list, void *context) {
    auto *wanted = static_cast<NewRecord *>(context);
    auto record = createRecord(wanted->path, wanted->hide);
    if (!record) return {};
    return createChangedList(list, CFArrayGetCount(list), record.get());
}

CFRef<CFArrayRef> removeRecord(CFArrayRef list, void *context) {
    int index = *static_cast<int *>(context);
    // The list may have changed since it was counted.
    if (index >= CFArrayGetCount(list)) return {};
    return createChangedList(list, index, nullptr);
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
