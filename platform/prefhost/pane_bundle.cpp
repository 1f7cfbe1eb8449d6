#include "pane_bundle.h"

#include <CoreFoundation/CoreFoundation.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Why the bundle's Info.plist cannot serve, or empty when it can: the
// bundle reads an unreadable or broken file as an empty dictionary, which
// would otherwise surface as a missing NSPrincipalClass.
std::string infoPlistProblem(const std::string &path) {
    std::string info = path + "/Contents/Info.plist";
    int fd = ::open(info.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) return "no Contents/Info.plist";
    if (fd < 0) return "cannot read " + info + ": " + std::strerror(errno);
    std::string bytes;
    char buffer[16384];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0) bytes.append(buffer, static_cast<size_t>(got));
    int readError = errno;
    ::close(fd);
    if (got < 0) return "cannot read " + info + ": " + std::strerror(readError);
    CFDataRef data = CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(bytes.data()),
                                  static_cast<CFIndex>(bytes.size()));
    CFPropertyListRef parsed = data ? CFPropertyListCreateWithData(kCFAllocatorDefault, data, 0, nullptr, nullptr) : nullptr;
    bool isDictionary = parsed && CFGetTypeID(parsed) == CFDictionaryGetTypeID();
    if (parsed) CFRelease(parsed);
    if (data) CFRelease(data);
    if (!isDictionary) return info + " is not a property list dictionary";
    return {};
}

}  // namespace

std::unique_ptr<PaneBundle> PaneBundle::open(const std::string &path, std::string *error) {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        *error = path + ": not a bundle directory";
        return nullptr;
    }
    // Checked before the bundle reads it: an Info.plist that is a directory
    // would otherwise end the host with an uncaught read error.
    std::string problem = infoPlistProblem(path);
    if (!problem.empty()) {
        *error = path + ": " + problem;
        return nullptr;
    }
    NSBundle *bundle = NSBundle::bundleWithPath(NSString::stringWithUTF8String(path.c_str()));
    if (!bundle) {
        *error = path + ": not a bundle directory";
        return nullptr;
    }
    NSObject *name = bundle->objectForInfoDictionaryKey(NSSTR("NSPrincipalClass"));
    if (!name || !name->isKindOfClass(NSString::staticClass())) {
        *error = path + ": Info.plist names no NSPrincipalClass";
        return nullptr;
    }
    std::string className = static_cast<NSString *>(name)->UTF8String();
    std::string loadError;
    if (!bundle->loadAndReturnError(&loadError)) {
        *error = path + ": cannot load the pane's code: " + loadError;
        return nullptr;
    }
    Class cls = NSClassFromString(className.c_str());
    if (!cls) {
        *error = path + ": the pane's code registers no class '" + className + "' (NSPrincipalClass)";
        return nullptr;
    }
    if (!cls->isSubclassOfClass(NSPreferencePane::staticClass())) {
        *error = path + ": the principal class '" + className + "' is not an NSPreferencePane";
        return nullptr;
    }
    return std::unique_ptr<PaneBundle>(new PaneBundle(bundle->retain(), cls));
}

PaneBundle::~PaneBundle() { bundle_->release(); }
