#include "window_module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

namespace {

// The module's path: ../lib/prefhost-window.so from the executable's own
// directory, so a build tree works from wherever it is.
std::string modulePath() {
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return "prefhost-window.so";
    return (self.parent_path().parent_path() / "lib" / "prefhost-window.so").string();
}

}  // namespace

int runWindowModule(const std::string &panePath, bool exitAfterFirstFrame,
                    std::chrono::steady_clock::time_point started) {
    std::string path = modulePath();
    // Never closed: GTK cannot be unloaded.
    void *module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    void *entry = module ? dlsym(module, kPrefhostWindowMainName) : nullptr;
    if (!entry) {
        std::fprintf(stderr, "prefhost: cannot load the window mode: %s\n", dlerror());
        return 1;
    }
    auto windowMain = reinterpret_cast<PrefhostWindowMain>(entry);
    long long nanoseconds =
        std::chrono::duration_cast<std::chrono::nanoseconds>(started.time_since_epoch()).count();
    return windowMain(panePath.c_str(), exitAfterFirstFrame ? 1 : 0, nanoseconds);
}
