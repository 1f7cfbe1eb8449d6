// NSBundle: Info.plist, resources and the code of a bundle directory.
#include <Foundation/NSBundle.h>
#include <Foundation/NSCFBridging.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSString.h>

#include <CFText.h>

#include <dlfcn.h>

#include <filesystem>
#include <mutex>
#include <set>

#include "foundation/bundle_location.h"
#include "foundation/property_list_file.h"

NS_REGISTER_CLASS(NSBundle, NSObject)
NS_SELECTORS(NSBundle, "bundlePath", "resourcePath", "executablePath", "bundleIdentifier",
             "infoDictionary", "objectForInfoDictionaryKey:", "pathForResource:ofType:", "load",
             "isLoaded", "principalClass")

namespace fs = std::filesystem;

namespace {

// Code once loaded stays loaded, as on the platform; bundle objects are not
// shared, so what was loaded is remembered here by executable path.
std::mutex loadedMutex;
std::set<std::string> &loadedExecutables() {
    static auto *loaded = new std::set<std::string>;
    return *loaded;
}

NSString *pathString(const fs::path &path) { return NSString::stringWithUTF8String(path.c_str()); }

// The Info.plist dictionary; NULL when the file is missing or holds
// something else.
CFRef<CFDictionaryRef> readInfoDictionary(const std::string &bundlePath) {
    Result<CFRef<CFPropertyListRef>> list = ns_read_property_list_file(bundlePath + "/Contents/Info.plist");
    if (!list || CFGetTypeID(list->get()) != CFDictionaryGetTypeID()) return {};
    return CFRef<CFDictionaryRef>::adopt(static_cast<CFDictionaryRef>(list->release()));
}

CFStringRef infoString(CFDictionaryRef info, const char *key) {
    if (!info) return nullptr;
    CFTypeRef value = CFDictionaryGetValue(info, __CFStringMakeConstantString(key));
    return CFCastIfType<CFStringRef>(value, CFStringGetTypeID());
}

bool holdsSlash(NSString *text) { return text && std::string(text->UTF8String()).find('/') != std::string::npos; }

}  // namespace

NSBundle *NSBundle::mainBundle() {
    std::string program = ns_program_file();
    std::string root = ns_bundle_root_of_executable(program);
    fs::path path = root.empty() ? fs::path(program).parent_path() : fs::path(root);
    return bundleWithPath(pathString(path));
}

NSBundle *NSBundle::bundleForClass(Class cls) {
    if (!cls) return mainBundle();
    std::string root = ns_bundle_root_of_executable(ns_file_holding_address(cls->codeAddress()));
    if (root.empty()) return mainBundle();
    NSBundle *bundle = bundleWithPath(pathString(root));
    return bundle ? bundle : mainBundle();
}

NSBundle *NSBundle::bundleWithPath(NSString *path) {
    NSBundle *bundle = alloc()->initWithPath(path);
    return bundle ? bundle->autorelease() : nil;
}

NSBundle *NSBundle::initWithPath(NSString *path) {
    std::error_code ignored;
    if (!path || !fs::is_directory(path->UTF8String(), ignored)) {
        release();
        return nil;
    }
    fs::path absolute = fs::absolute(path->UTF8String(), ignored);
    path_ = absolute.lexically_normal().string();
    if (path_.size() > 1 && path_.back() == '/') path_.pop_back();
    info_ = readInfoDictionary(path_);
    return this;
}

NSBundle::~NSBundle() = default;

NSString *NSBundle::bundlePath() const { return pathString(path_); }

NSString *NSBundle::resourcePath() const { return pathString(fs::path(path_) / "Contents/Resources"); }

NSString *NSBundle::executablePath() const {
    std::string name = UTF8FromCFString(infoString(info_.get(), "CFBundleExecutable"));
    // Without CFBundleExecutable the executable takes the bundle's name.
    if (name.empty()) name = fs::path(path_).stem().string();
    return pathString(fs::path(path_) / "Contents/MacOS" / name);
}

NSString *NSBundle::bundleIdentifier() const {
    CFStringRef identifier = infoString(info_.get(), "CFBundleIdentifier");
    return identifier ? NSString::stringWithCFString(identifier) : nil;
}

NSDictionary *NSBundle::infoDictionary() const {
    return info_ ? NSDictionary::dictionaryWithCFDictionary(info_.get()) : NSDictionary::dictionary();
}

NSObject *NSBundle::objectForInfoDictionaryKey(NSString *key) const {
    if (!info_ || !key) return nil;
    return NSObjectFromCFType(CFDictionaryGetValue(info_.get(), key->cfString()));
}

NSString *NSBundle::pathForResource_ofType(NSString *name, NSString *type) const {
    if (!name || holdsSlash(name) || holdsSlash(type)) return nil;
    std::string file = name->UTF8String();
    if (type && type->length() > 0) file += std::string(".") + type->UTF8String();
    if (file.empty() || file == "." || file == "..") return nil;
    fs::path resource = fs::path(path_) / "Contents/Resources" / file;
    std::error_code ignored;
    return fs::exists(resource, ignored) ? pathString(resource) : nil;
}

BOOL NSBundle::load() { return loadAndReturnError().ok() ? YES : NO; }

Status NSBundle::loadAndReturnError() {
    std::string executable = executablePath()->UTF8String();
    std::lock_guard lock(loadedMutex);
    if (loadedExecutables().count(executable)) return Status::success();
    dlerror();
    if (!dlopen(executable.c_str(), RTLD_NOW | RTLD_LOCAL)) {
        const char *reason = dlerror();
        return Failure(reason ? reason : "cannot load " + executable);
    }
    loadedExecutables().insert(executable);
    return Status::success();
}

BOOL NSBundle::isLoaded() const {
    std::string executable = executablePath()->UTF8String();
    std::lock_guard lock(loadedMutex);
    return loadedExecutables().count(executable) ? YES : NO;
}

Class NSBundle::principalClass() {
    CFStringRef name = infoString(info_.get(), "NSPrincipalClass");
    if (!name || !load()) return nil;
    return NSClassFromString(UTF8FromCFString(name).c_str());
}
