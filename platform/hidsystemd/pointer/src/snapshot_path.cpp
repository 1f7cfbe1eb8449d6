#include <hidsystem/snapshot_path.h>

#include <cstdlib>

namespace hidsystem {

namespace {

std::string absolute_variable(const char *name) {
    const char *value = std::getenv(name);
    return value && value[0] == '/' ? std::string(value) : std::string();
}

}  // namespace

std::string snapshot_path(std::string_view backend_kind) {
    std::string base = absolute_variable("XDG_STATE_HOME");
    if (base.empty()) {
        std::string home = absolute_variable("HOME");
        if (home.empty()) return {};
        base = home + "/.local/state";
    }
    return base + "/glissor/hidsystemd-" + std::string(backend_kind) + ".snapshot";
}

}  // namespace hidsystem
