#include "installed_tree.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace glissor {
namespace {

std::string parent_of(const std::string &path) { return std::filesystem::path(path).parent_path().string(); }

bool is_executable(const std::string &path) { return access(path.c_str(), X_OK) == 0; }

}  // namespace

Result<std::string> own_executable() {
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return Failure("/proc/self/exe: " + error.message());
    return self.string();
}

Result<InstalledTree> find_tree(const std::string &self) {
    std::string bin = parent_of(self);
    std::string prefix = parent_of(bin);
    InstalledTree tree;
    std::string installed = prefix + "/lib/glissor";
    if (is_executable(installed + "/bin/prefhost")) {
        tree = {prefix, installed + "/bin", installed + "/Glissor.prefPane", true};
        return tree;
    }
    // A build folder keeps the programs beside glissor and the pane above them.
    if (is_executable(bin + "/prefhost")) {
        tree = {prefix, bin, prefix + "/Glissor.prefPane", false};
        return tree;
    }
    return Failure(installed + ": no Glissor programs there (bin/prefhost is missing); reinstall Glissor");
}

std::string installed_by(const InstalledTree &tree) {
    if (!tree.installed) return "a build folder";
    if (std::strlen(GLISSOR_PACKAGE) > 0) return std::string("the Debian package ") + GLISSOR_PACKAGE;
    if (access((tree.prefix + "/share/glissor/install-manifest.txt").c_str(), F_OK) == 0) return "make install";
    return "cmake --install";
}

}  // namespace glissor
