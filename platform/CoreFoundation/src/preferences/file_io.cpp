#include "preferences/file_io.h"

#include "property_list_codec_internal.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

namespace cfprefs {
namespace {

FileIdentity identity_from(const struct stat &info) {
    FileIdentity id;
    id.device = info.st_dev;
    id.inode = info.st_ino;
    id.size = info.st_size;
    id.modified_ns = info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec;
    id.changed_ns = info.st_ctim.tv_sec * 1000000000LL + info.st_ctim.tv_nsec;
    id.regular = S_ISREG(info.st_mode);
    return id;
}

FileOwnership ownership_from(const struct stat &info) {
    return FileOwnership{static_cast<mode_t>(info.st_mode & 07777), info.st_uid, info.st_gid};
}

}  // namespace

std::optional<FileIdentity> identity_of(const std::string &path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return std::nullopt;
    return identity_from(info);
}

FileContent read_domain_file(const std::string &path) {
    FileContent content;
    // The reader never follows a link; a domain file that is one is read
    // at its final target, as the write will replace that target.
    auto target = write_target_of(path);
    if (!target) return content;  // a link that leads nowhere: no file
    auto read = fileio::read_whole_file(*target, cfplist::detail::kMaxFileBytes);
    if (read) {
        content.status = ReadStatus::Read;
        content.bytes = std::move(read->bytes);
        content.identity = identity_from(read->status);
        content.ownership = ownership_from(read->status);
        return content;
    }
    int error = errno;
    content.failure = read.message();
    content.status = error == ENOENT ? ReadStatus::Missing : error == EFBIG ? ReadStatus::TooLarge : ReadStatus::Failed;
    // A file over the limit is not read, but it is known, so that an
    // unchanged one is not looked at again.
    if (content.status == ReadStatus::TooLarge) {
        if (auto known = identity_of(*target)) content.identity = *known;
    }
    return content;
}

std::optional<std::string> write_target_of(const std::string &path) { return fileio::final_target(path); }

Result<WrittenFile> replace_domain_file(const std::string &path, const std::string &bytes,
                                        const std::optional<FileOwnership> &keep) {
    fileio::WriteOptions options;
    options.folder = fileio::Folder::OwnedByMe;
    if (keep) {
        options.owner = keep->owner;
        options.group = keep->group;
    }
    auto written = fileio::write_file_durably(path, bytes, keep ? keep->permissions : 0600, options);
    if (!written) return written.failure();
    return WrittenFile{identity_from(*written), ownership_from(*written)};
}

bool keep_aside(const std::string &path) {
    char stamp[32];
    time_t now = time(nullptr);
    struct tm parts;
    strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%S", gmtime_r(&now, &parts));
    std::string base = path + ".corrupt-" + stamp;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        std::string aside = attempt == 0 ? base : base + "-" + std::to_string(attempt);
        // link() never replaces an existing file, unlike rename(); the
        // original stays in place until the new file is renamed over it.
        if (link(path.c_str(), aside.c_str()) == 0) return true;
        if (errno != EEXIST) return false;
    }
    return false;
}

}  // namespace cfprefs
