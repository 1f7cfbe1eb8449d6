#include "pane_bundle.h"

#include <filesystem>

std::unique_ptr<PaneBundle> PaneBundle::open(const std::string &path, std::string *error) {
    NSBundle *bundle = NSBundle::bundleWithPath(NSString::stringWithUTF8String(path.c_str()));
    if (!bundle) {
        *error = path + ": not a bundle directory";
        return nullptr;
    }
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(path + "/Contents/Info.plist", ignored)) {
        *error = path + ": no Contents/Info.plist";
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
