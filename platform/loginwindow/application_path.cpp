#include "application_path.h"

#include <FileIO/durable_file.h>

#include "file_name_text.h"

#include <CFRef.h>
#include <CoreFoundation/CoreFoundation.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iterator>
#include <optional>
#include <utility>
#include <vector>

namespace loginwindow {
namespace {

// An Info.plist is a few kilobytes; anything far larger is not one, and
// is not worth reading into memory at login.
constexpr off_t kMaxInfoPlistBytes = 1 << 20;

Executable refused(std::string why) {
    Executable result;
    result.refusal = std::move(why);
    return result;
}

Executable not_an_application(const std::string &why) { return refused("not an application: " + why); }

Executable found(std::string path) {
    Executable result;
    result.path = std::move(path);
    return result;
}

bool is_missing(int error) { return error == ENOENT || error == ENOTDIR; }

// A regular file the user may run, or why not. `inside` names a bundle's
// executable in the refusal; it is empty for a plain file.
Executable runnable_file(const std::string &path, const std::string &inside) {
    std::string shown = inside.empty() ? "the file" : inside;
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        if (is_missing(errno)) return not_an_application(shown + " is missing");
        return refused("cannot be examined: " + shown + ": " + std::strerror(errno));
    }
    if (!S_ISREG(info.st_mode)) return not_an_application(shown + " is not a file");
    if (access(path.c_str(), X_OK) != 0) return refused(inside.empty() ? "not executable" : "not executable: " + inside);
    return found(path);
}

// The bytes of Contents/Info.plist, or nullopt with the refusal set.
std::optional<std::vector<char>> read_info_plist(const std::string &plist_path, Executable *refusal) {
    struct stat info {};
    if (stat(plist_path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        *refusal = not_an_application("no Contents/Info.plist");
        return std::nullopt;
    }
    if (info.st_size > kMaxInfoPlistBytes) {
        *refusal = not_an_application("Contents/Info.plist is too large");
        return std::nullopt;
    }
    auto file = fileio::read_whole_file(fileio::final_target(plist_path).value_or(plist_path),
                                        static_cast<size_t>(kMaxInfoPlistBytes));
    if (!file) {
        *refusal = refused("cannot read Contents/Info.plist: " + file.message());
        return std::nullopt;
    }
    return std::vector<char>(file->bytes.begin(), file->bytes.end());
}

CFRef<CFPropertyListRef> parse_plist(const std::vector<char> &bytes) {
    auto data = CFRef<CFDataRef>::adopt(CFDataCreate(
        kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(bytes.data()), static_cast<CFIndex>(bytes.size())));
    if (!data) return {};
    return CFRef<CFPropertyListRef>::adopt(
        CFPropertyListCreateWithData(kCFAllocatorDefault, data.get(), kCFPropertyListImmutable, nullptr, nullptr));
}

// CFBundleExecutable must name a file inside Contents/MacOS, never a way out of it.
bool is_plain_file_name(const std::string &name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

Executable bundle_executable(const std::string &bundle) {
    Executable refusal;
    std::optional<std::vector<char>> bytes = read_info_plist(bundle + "/Contents/Info.plist", &refusal);
    if (!bytes) return refusal;
    CFRef<CFPropertyListRef> plist = parse_plist(*bytes);
    if (!plist) return not_an_application("Contents/Info.plist does not parse");
    auto info = CFCastIfType<CFDictionaryRef>(plist.get(), CFDictionaryGetTypeID());
    if (!info) return not_an_application("Contents/Info.plist is not a dictionary");
    auto name_value = CFCastIfType<CFStringRef>(CFDictionaryGetValue(info, CFSTR("CFBundleExecutable")),
                                                CFStringGetTypeID());
    if (!name_value) return not_an_application("Contents/Info.plist names no CFBundleExecutable");
    std::optional<std::string> name = file_name_text(name_value);
    if (!name || !is_plain_file_name(*name))
        return not_an_application("CFBundleExecutable is not a file name in Contents/MacOS");
    std::string inside = "Contents/MacOS/" + *name;
    return runnable_file(bundle + "/" + inside, inside);
}

}  // namespace

Executable find_executable(const std::string &application) {
    // A relative path would depend on where the login window happens to run.
    if (application.empty() || application[0] != '/') return not_an_application("the path is not absolute");
    struct stat info {};
    if (stat(application.c_str(), &info) != 0) {
        if (is_missing(errno)) return refused("missing");
        return refused(std::string("cannot be examined: ") + std::strerror(errno));
    }
    if (S_ISDIR(info.st_mode)) return bundle_executable(application);
    if (S_ISREG(info.st_mode)) return runnable_file(application, "");
    return not_an_application("neither a file nor a directory");
}

}  // namespace loginwindow
