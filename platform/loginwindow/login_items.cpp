#include "login_items.h"

#include "file_name_text.h"

#include <CFRef.h>
#include <CoreFoundation/CoreFoundation.h>

#include <optional>

namespace loginwindow {
namespace {

ListedItem unusable(const char *problem) {
    ListedItem item;
    item.problem = problem;
    return item;
}

// Hide written by hand (`defaults write ... '{Path=...; Hide=1;}'`) is
// text, since old-style property lists only hold strings: "1", "YES" and
// "true" mean what a boolean true or a number 1 would.
bool is_true(CFTypeRef value) {
    if (auto boolean = CFCastIfType<CFBooleanRef>(value, CFBooleanGetTypeID())) return CFBooleanGetValue(boolean);
    if (auto number = CFCastIfType<CFNumberRef>(value, CFNumberGetTypeID())) {
        double amount = 0;
        return CFNumberGetValue(number, kCFNumberDoubleType, &amount) && amount != 0;
    }
    auto text = CFCastIfType<CFStringRef>(value, CFStringGetTypeID());
    if (!text) return false;
    for (CFStringRef yes : {CFSTR("1"), CFSTR("YES"), CFSTR("true")})
        if (CFStringCompare(text, yes, kCFCompareCaseInsensitive) == kCFCompareEqualTo) return true;
    return false;
}

ListedItem item_from_record(CFTypeRef record) {
    auto dictionary = CFCastIfType<CFDictionaryRef>(record, CFDictionaryGetTypeID());
    if (!dictionary) return unusable("the record is not a dictionary");
    auto path = CFCastIfType<CFStringRef>(CFDictionaryGetValue(dictionary, CFSTR("Path")), CFStringGetTypeID());
    if (!path) return unusable("the record has no string Path");
    std::optional<std::string> name = file_name_text(path);
    if (!name) return unusable("the Path is not a usable file name");
    ListedItem item;
    item.path = *name;
    item.hidden = is_true(CFDictionaryGetValue(dictionary, CFSTR("Hide")));
    return item;
}

}  // namespace

LoginItems read_login_items() {
    auto value = CFRef<CFPropertyListRef>::adopt(CFPreferencesCopyValue(
        CFSTR("AutoLaunchedApplicationDictionary"), CFSTR("loginwindow"), kCFPreferencesCurrentUser,
        kCFPreferencesAnyHost));
    LoginItems result;
    if (!value) return result;
    auto list = CFCastIfType<CFArrayRef>(value.get(), CFArrayGetTypeID());
    if (!list) {
        result.state = ListState::NotAList;
        return result;
    }
    CFIndex count = CFArrayGetCount(list);
    for (CFIndex i = 0; i < count; ++i) result.items.push_back(item_from_record(CFArrayGetValueAtIndex(list, i)));
    if (!result.items.empty()) result.state = ListState::Listed;
    return result;
}

}  // namespace loginwindow
