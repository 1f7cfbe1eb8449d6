#include "LoginItemsStore.h"

#include <CoreFoundation/CFPreferencesPrivate.h>

#include <chrono>
#include <random>
#include <thread>

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

namespace {

// Enough for a handful of programs changing the list at once.
constexpr int kAttempts = 12;

Boolean writeList(CFStringRef user, CFArrayRef list) {
    CFPreferencesSetValue(listKey(), list, listDomain(), user, kCFPreferencesAnyHost);
    if (CFPreferencesSynchronize(listDomain(), user, kCFPreferencesAnyHost)) return true;
    CFPreferencesDiscardPendingValue(listKey(), listDomain(), user, kCFPreferencesAnyHost);
    return false;
}

// A short random pause, longer with each attempt, so that writers that
// collided do not collide again in step.
void pauseBeforeAttempt(int attempt) {
    thread_local std::minstd_rand random(std::random_device{}());
    std::uniform_int_distribution<int> micros(0, 500 * attempt);
    std::this_thread::sleep_for(std::chrono::microseconds(micros(random)));
}

}  // namespace

Boolean rewriteList(CFStringRef user, ListReader read, ListChange change, void *context) {
    auto list = read(user);
    for (int attempt = 1; list; ++attempt) {
        auto changed = change(list.get(), context);
        if (!changed) return false;
        if (writeList(user, changed.get())) return true;
        // Refused because the list changed since it was read, or failed for
        // another reason; only the first is worth another attempt.
        auto now = read(user);
        if (!now || attempt == kAttempts || CFEqual(now.get(), list.get())) return false;
        list = now;
        pauseBeforeAttempt(attempt);
    }
    return false;
}

}  // namespace loginitems
