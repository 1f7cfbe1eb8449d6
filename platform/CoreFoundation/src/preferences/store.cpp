#include "preferences/store.h"

#include <map>
#include <memory>

namespace cfprefs {
namespace {

// Leaked on purpose: pending changes must survive until exit, and other
// libraries' destructors may still call in during shutdown.
std::map<std::string, std::unique_ptr<DomainFile>> &domains() {
    static auto *all = new std::map<std::string, std::unique_ptr<DomainFile>>;
    return *all;
}

}  // namespace

std::mutex &store_mutex() {
    static auto *mutex = new std::mutex;
    return *mutex;
}

DomainFile &domain_for_path_locked(const std::string &path) {
    auto &slot = domains()[path];
    if (!slot) slot = std::make_unique<DomainFile>(path);
    return *slot;
}

void forget_cached_files() {
    std::lock_guard<std::mutex> guard(store_mutex());
    for (auto &[path, domain] : domains()) domain->forget_cache();
}

}  // namespace cfprefs
