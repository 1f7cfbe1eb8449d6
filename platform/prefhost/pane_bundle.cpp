#include "pane_bundle.h"

#include <CFRef.h>

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
    CFRef<CFDataRef> data = CFRef<CFDataRef>::adopt(CFDataCreate(
        kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(bytes.data()), static_cast<CFIndex>(bytes.size())));
    CFRef<CFPropertyListRef> parsed = CFRef<CFPropertyListRef>::adopt(
        data ? CFPropertyListCreateWithData(kCFAllocatorDefault, data.get(), 0, nullptr, nullptr) : nullptr);
    if (!CFCastIfType<CFDictionaryRef>(parsed.get(), CFDictionaryGetTypeID()))
        return info + " is not a property list dictionary";
    return {};
}

}  // namespace

Result<std::unique_ptr<PaneBundle>> PaneBundle::open(const std::string &path) {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return Failure(path + ": not a bundle directory");
    // Checked before the bundle reads it: an Info.plist that is a directory
    // would otherwise end the host with an uncaught read error.
    std::string problem = infoPlistProblem(path);
    if (!problem.empty()) return Failure(path + ": " + problem);
    NSBundle *bundle = NSBundle::bundleWithPath(NSString::stringWithUTF8String(path.c_str()));
    if (!bundle) return Failure(path + ": not a bundle directory");
    NSObject *name = bundle->objectForInfoDictionaryKey(NSSTR("NSPrincipalClass"));
    if (!name || !name->isKindOfClass(NSString::staticClass()))
        return Failure(path + ": Info.plist names no NSPrincipalClass");
    std::string className = static_cast<NSString *>(name)->UTF8String();
    if (Status loaded = bundle->loadAndReturnError(); !loaded)
        return Failure(path + ": cannot load the pane's code: " + loaded.message());
    Class cls = NSClassFromString(className.c_str());
    if (!cls) return Failure(path + ": the pane's code registers no class '" + className + "' (NSPrincipalClass)");
    if (!cls->isSubclassOfClass(NSPreferencePane::staticClass()))
        return Failure(path + ": the principal class '" + className + "' is not an NSPreferencePane");
    return std::unique_ptr<PaneBundle>(new PaneBundle(bundle, cls));
}
