#include "LoginItemsStore.h"

namespace loginitems {
namespace {

CFStringRef listDomain() { return CFSTR("loginwindow"); }
CFStringRef listKey() { return CFSTR("AutoLaunchedApplicationDictionary"); }

}  // namespace

bool isValidUser(CFStringRef user) {
    return user == kCFPreferencesCurrentUser || user == kCFPreferencesAnyUser;
}

// Read through CopyMultiple rather than CopyValue: its NULL means the read
// failed, while a missing key is an empty dictionary. Add must not take a
// failed read for an empty list, or it would write a one-record list over
// what is stored.
StoredList copyStoredList(CFStringRef user) {
    const void *keys[] = {listKey()};
    auto wanted = CFRef<CFArrayRef>::adopt(CFArrayCreate(kCFAllocatorDefault, keys, 1, &kCFTypeArrayCallBacks));
    if (!wanted) return {ListState::Failed, {}};
    auto found = CFRef<CFDictionaryRef>::adopt(
        CFPreferencesCopyMultiple(wanted.get(), listDomain(), user, kCFPreferencesAnyHost));
    if (!found) return {ListState::Failed, {}};
    CFTypeRef value = CFDictionaryGetValue(found.get(), listKey());
    if (!value) return {ListState::Absent, {}};
    auto list = CFCastIfType<CFArrayRef>(value, CFArrayGetTypeID());
    if (!list) return {ListState::Foreign, {}};
    return {ListState::Present, CFRef<CFArrayRef>::retain(list)};
}

CFRef<CFArrayRef> copyListIfPresent(CFStringRef user) {
    auto value = CFRef<CFPropertyListRef>::adopt(
        CFPreferencesCopyValue(listKey(), listDomain(), user, kCFPreferencesAnyHost));
    return CFRef<CFArrayRef>::retain(CFCastIfType<CFArrayRef>(value.get(), CFArrayGetTypeID()));
}

Boolean writeList(CFStringRef user, CFArrayRef list) {
    CFPreferencesSetValue(listKey(), list, listDomain(), user, kCFPreferencesAnyHost);
    return CFPreferencesSynchronize(listDomain(), user, kCFPreferencesAnyHost);
}

}  // namespace loginitems
