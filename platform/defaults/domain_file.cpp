#include "domain_file.h"

#include <CoreFoundation/CFPreferencesPrivate.h>
#include <FileIO/durable_file.h>

#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>

namespace {

std::string file_name_of(const std::string &path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string directory_of(const std::string &path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

FileLook look_at_file(const std::string &path) {
    FileLook look;
    // Through a symbolic link to its final target, as the store reads (the
    // reader itself never follows one).
    auto read = fileio::read_whole_file(fileio::final_target(path).value_or(path), kLargestPropertyList);
    if (!read) {
        int error = errno;
        look.state = error == ENOENT ? FileState::Missing : error == EFBIG ? FileState::TooLarge : FileState::Unreadable;
        look.error = error;
        look.reason = read.message();
        return look;
    }
    look.permissions = read->status.st_mode & 07777;
    if (read->bytes.empty()) return look;  // the store reads an empty file as an empty domain
    auto data = CFRef<CFDataRef>::adopt(CFDataCreate(kCFAllocatorDefault,
                                                     reinterpret_cast<const UInt8 *>(read->bytes.data()),
                                                     static_cast<CFIndex>(read->bytes.size())));
    look.values = CFRef<CFDictionaryRef>::adopt(data ? CFPreferencesCreateDomainWithData(data.get(), &look.omitted) : nullptr);
    look.state = look.values ? FileState::PropertyList : FileState::NotPropertyList;
    return look;
}

std::string omitted_note(const std::string &label, const std::string &path, CFIndex omitted) {
    return "domain " + label + ": " + std::to_string(omitted) + (omitted == 1 ? " entry" : " entries") + " of " +
           path + " nested deeper than the property-list limit (512) left out";
}

std::set<std::string> kept_aside_copies(const std::string &path) {
    std::set<std::string> found;
    std::string prefix = file_name_of(path) + ".corrupt-";
    DIR *listing = opendir(directory_of(path).c_str());
    if (!listing) return found;
    while (const dirent *entry = readdir(listing)) {
        std::string name = entry->d_name;
        if (name.starts_with(prefix)) found.insert(directory_of(path) + "/" + name);
    }
    closedir(listing);
    return found;
}
