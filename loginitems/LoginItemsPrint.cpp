// The diagnostic printers: a listing of the login items on standard output.
#include "LoginItems.h"
#include "LoginItemsStore.h"

#include <CFText.h>

#include <cstdio>

namespace {

CFRef<CFStringRef> copyProperty(CFStringRef user, int index, int property) {
    return CFRef<CFStringRef>::adopt(CopyLoginItemPropertyAtIndex(user, property, index));
}

}  // namespace

extern "C" Boolean PrintOutLoginItemAtIndex(CFStringRef user, int index) {
    if (index < 0 || !loginitems::isValidUser(user)) return false;
    if (index >= GetCountOfLoginItems(user)) return false;
    // Each line from its own read; a missing property ends the listing
    // there, and what was printed stays printed.
    auto path = copyProperty(user, index, kLoginItemPathInfo);
    if (!path) return false;
    printf("\tFull path to App: %s\n", UTF8FromCFString(path.get()).c_str());
    auto hide = copyProperty(user, index, kLoginItemHideInfo);
    if (!hide) return false;
    printf("\tHide Info:        %s\n", UTF8FromCFString(hide.get()).c_str());
    auto name = copyProperty(user, index, kLoginItemNameInfo);
    if (!name) return false;
    printf("\tExecutable Name:  %s\n", UTF8FromCFString(name.get()).c_str());
    return true;
}

extern "C" Boolean PrintOutAllLoginItems(CFStringRef user) {
    if (!loginitems::isValidUser(user)) return false;
    int count = GetCountOfLoginItems(user);
    if (count == 0) {
        puts("LoginItems are Empty (i.e. there are no LoginItems)");
        return true;
    }
    for (int i = 0; i < count; ++i) {
        printf("LoginItem Index %d:\n", i);
        if (!PrintOutLoginItemAtIndex(user, i)) return false;
    }
    return true;
}

extern "C" Boolean PrintNumberOfLoginItems(CFStringRef user) {
    if (!loginitems::isValidUser(user)) return false;
    printf("The number of LoginItems is: %d", GetCountOfLoginItems(user));
    return true;
}
