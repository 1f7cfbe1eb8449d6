#include "file_text.h"

#include <cerrno>
#include <cstring>

#include <FileIO/durable_file.h>

namespace {

// A script or an Info.plist is text of a few kilobytes.
constexpr size_t kMaxFileBytes = 16u << 20;

}  // namespace

Result<std::string> readWholeFile(const std::string &path, const std::string &name) {
    // A file reached through a link is read at its target, as before.
    auto target = fileio::final_target(path);
    if (!target) return Failure("cannot read " + name + ": " + std::strerror(ENOENT));
    auto file = fileio::read_whole_file(*target, kMaxFileBytes);
    if (!file) return Failure("cannot read " + name + ": " + file.message());
    return std::move(file->bytes);
}
