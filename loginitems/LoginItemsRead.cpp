// Counting the login items and reading one property of a record.
#include "LoginItems.h"
#include "LoginItemsStore.h"

using loginitems::copyListIfPresent;
using loginitems::isValidUser;

namespace {

// The record at index as a dictionary, borrowed from list; NULL when the
// index is past the end or the record is something else.
CFDictionaryRef recordAt(CFArrayRef list, int index) {
    if (index >= CFArrayGetCount(list)) return nullptr;
    return CFCastIfType<CFDictionaryRef>(CFArrayGetValueAtIndex(list, index), CFDictionaryGetTypeID());
}

CFStringRef copyHideInfo(CFDictionaryRef record) {
    if (!CFDictionaryContainsKey(record, CFSTR("Hide"))) return nullptr;
    CFTypeRef hide = CFDictionaryGetValue(record, CFSTR("Hide"));
    if (hide == kCFBooleanTrue) return CFStringCreateCopy(kCFAllocatorDefault, CFSTR("Hide"));
    if (hide == kCFBooleanFalse) return CFStringCreateCopy(kCFAllocatorDefault, CFSTR("DoNotHide"));
    return nullptr;  // not a boolean
}

// The last piece of path split at every "/": the whole path when it has
// none, the empty string when it ends in one.
CFStringRef copyLastPathPiece(CFStringRef path) {
    auto pieces = CFRef<CFArrayRef>::adopt(
        CFStringCreateArrayBySeparatingStrings(kCFAllocatorDefault, path, CFSTR("/")));
    if (!pieces) return nullptr;
    CFIndex count = CFArrayGetCount(pieces.get());
    if (count == 0) return nullptr;
    return static_cast<CFStringRef>(CFRetain(CFArrayGetValueAtIndex(pieces.get(), count - 1)));
}

CFStringRef copyPathInfo(CFDictionaryRef record, int property) {
    if (!CFDictionaryContainsKey(record, CFSTR("Path"))) return nullptr;
    auto stored = CFCastIfType<CFStringRef>(CFDictionaryGetValue(record, CFSTR("Path")), CFStringGetTypeID());
    if (!stored) return nullptr;
    auto path = CFRef<CFStringRef>::adopt(CFStringCreateCopy(kCFAllocatorDefault, stored));
    if (!path || property == kLoginItemPathInfo) return path.release();
    return copyLastPathPiece(path.get());
}

}  // namespace

extern "C" int GetCountOfLoginItems(CFStringRef user) {
    if (!isValidUser(user)) return 0;
    auto list = copyListIfPresent(user);
    return list ? static_cast<int>(CFArrayGetCount(list.get())) : 0;
}

extern "C" CFStringRef CopyLoginItemPropertyAtIndex(CFStringRef user, int property, int index) {
    if (property < kLoginItemPathInfo || property > kLoginItemHideInfo || index < 0 || !isValidUser(user))
        return nullptr;
    auto list = copyListIfPresent(user);
    if (!list) return nullptr;
    CFDictionaryRef record = recordAt(list.get(), index);
    if (!record) return nullptr;
    if (property == kLoginItemHideInfo) return copyHideInfo(record);
    return copyPathInfo(record, property);
}
