#include "pane_bundle.h"

#include <CFRef.h>

#include <sys/stat.h>

#include <cerrno>

#include "file_text.h"

namespace {

// Why the bundle's Info.plist cannot serve, or empty when it can: the
// bundle reads an unreadable or broken file as an empty dictionary, which
// would otherwise surface as a missing NSPrincipalClass.
std::string infoPlistProblem(const std::string &path) {
    std::string info = path + "/Contents/Info.plist";
    struct stat entry;
    if (::stat(info.c_str(), &entry) != 0 && errno == ENOENT) return "no Contents/Info.plist";
    Result<std::string> bytes = readWholeFile(info, info);
    if (!bytes) return bytes.message();
    CFRef<CFDataRef> data = CFRef<CFDataRef>::adopt(CFDataCreate(
        kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(bytes->data()), static_cast<CFIndex>(bytes->size())));
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
