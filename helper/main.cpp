// GlissorHelper: started by the login window at each login, it re-applies
// the stored speed settings. The event service forgets them when it
// restarts, and may come up after the helper, hence several passes.
#include "MouseFix.h"

#include <unistd.h>

namespace {
const int kApplyPasses = 6;
const unsigned kSecondsBetweenPasses = 1;
}  // namespace

int main(int, char **) {
    // Read once: settings changed while the helper runs wait for the next login.
    const float mouse = readMousePref();
    const float trackpad = readTrackpadPref();
    for (int pass = 0; pass < kApplyPasses; ++pass) {
        if (pass > 0) sleep(kSecondsBetweenPasses);
        (void)setMouseFix(mouse, trackpad);  // a failed pass changes nothing
    }
    return 0;
}
