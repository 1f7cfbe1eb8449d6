// Another program adding login items, for the tests of concurrent writers.
//
//   login_items_probe add PREFIX N   adds /Applications/PREFIX-i.app for i in 0..N-1
//                                    and prints each path whose Add returned true
#include "LoginItems.h"

#include <CFText.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char **argv) {
    if (argc != 4 || std::string(argv[1]) != "add") {
        fprintf(stderr, "usage: login_items_probe add PREFIX N\n");
        return 2;
    }
    int count = atoi(argv[3]);
    for (int i = 0; i < count; ++i) {
        std::string path = "/Applications/" + std::string(argv[2]) + "-" + std::to_string(i) + ".app";
        auto text = CFStringFromUTF8(path);
        if (AddLoginItemWithPropertiesToUser(kCFPreferencesCurrentUser, text.get(), 1)) printf("%s\n", path.c_str());
        fflush(stdout);
    }
    return 0;
}
