// glissor-forget-login-item PATH: removes every entry of the current user's
// login items list whose path is PATH, and nothing else. Uninstalling
// Glissor runs it on the helper it is about to delete, so the login window
// does not look for a missing application at every login.
//
// Exit status: 0 when no such entry is left (also when there was none), 1
// when the list could not be written, 2 for a wrong command line.
#include <CoreFoundation/CoreFoundation.h>

#include <cstdio>
#include <cstring>

#include "CFText.h"
#include "LoginItems.h"

namespace {

bool isEntryFor(CFStringRef path, int index) {
    auto entry = CFRef<CFStringRef>::adopt(
        CopyLoginItemPropertyAtIndex(kCFPreferencesCurrentUser, kLoginItemPathInfo, index));
    return entry && CFStringCompare(entry.get(), path, CFStringCompareFlags{}) == kCFCompareEqualTo;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf("usage: glissor-forget-login-item PATH\n");
        return 0;
    }
    if (argc != 2 || argv[1][0] == '\0') {
        std::fprintf(stderr, "usage: glissor-forget-login-item PATH\n");
        return 2;
    }
    auto path = CFStringFromUTF8(argv[1]);
    if (!path) {
        std::fprintf(stderr, "glissor-forget-login-item: %s: not a UTF-8 path\n", argv[1]);
        return 2;
    }
    // From the end, so the indexes still to visit do not move.
    for (int index = GetCountOfLoginItems(kCFPreferencesCurrentUser) - 1; index >= 0; --index) {
        if (!isEntryFor(path.get(), index)) continue;
        if (!RemoveLoginItemAtIndex(kCFPreferencesCurrentUser, index)) {
            std::fprintf(stderr, "glissor-forget-login-item: %s: the login items list could not be written\n",
                         argv[1]);
            return 1;
        }
    }
    return 0;
}
