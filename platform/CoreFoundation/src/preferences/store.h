// The process's preference store: one DomainFile per file, created on
// first use and kept for the life of the process, behind one lock.
#pragma once

#include "preferences/domain_file.h"

#include <mutex>
#include <string>

namespace cfprefs {

// Runs work with the domain file for path, under the store's lock.
template <typename Work>
auto with_domain(const std::string &path, Work work) -> decltype(work(std::declval<DomainFile &>()));

DomainFile &domain_for_path_locked(const std::string &path);
std::mutex &store_mutex();

// Every domain lets go of its cached file contents (pending changes stay).
void forget_cached_files();

template <typename Work>
auto with_domain(const std::string &path, Work work) -> decltype(work(std::declval<DomainFile &>())) {
    std::lock_guard<std::mutex> guard(store_mutex());
    return work(domain_for_path_locked(path));
}

}  // namespace cfprefs
