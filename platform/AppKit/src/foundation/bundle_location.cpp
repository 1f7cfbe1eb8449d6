#include "foundation/bundle_location.h"

#include <dlfcn.h>

#include <filesystem>

namespace fs = std::filesystem;

std::string ns_bundle_root_of_executable(const std::string &file) {
    fs::path macos = fs::path(file).parent_path();
    fs::path contents = macos.parent_path();
    if (macos.filename() != "MacOS" || contents.filename() != "Contents") return {};
    return contents.parent_path().string();
}

std::string ns_file_holding_address(const void *address) {
    Dl_info info{};
    if (!dladdr(address, &info) || !info.dli_fname || !*info.dli_fname) return {};
    std::error_code ignored;
    fs::path canonical = fs::canonical(info.dli_fname, ignored);
    return ignored ? std::string(info.dli_fname) : canonical.string();
}

std::string ns_program_file() {
    std::error_code ignored;
    fs::path program = fs::read_symlink("/proc/self/exe", ignored);
    return ignored ? std::string() : program.string();
}
