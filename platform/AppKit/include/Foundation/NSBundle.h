// NSBundle.h: a bundle directory: its Info.plist, resources and code.
//
// A bundle has the platform's layout: X.prefPane/Contents/Info.plist,
// Contents/MacOS/<CFBundleExecutable>, Contents/Resources/. Bundle objects
// are not shared: every lookup gives a fresh autoreleased NSBundle, and what
// it hands out lives at least until the current pool drains. The code of a
// bundle, once loaded, stays loaded.
#pragma once

#include <Foundation/NSObject.h>

#include <CFRef.h>
#include <Result.h>

#include <string>

class NSDictionary;

class NS_EXPORT NSBundle : public NSObject {
    NS_CLASS(NSBundle, NSObject)

public:
    // The bundle of the running program: the bundle root when the program
    // sits in Contents/MacOS of one, else the program's directory.
    static NSBundle *mainBundle();
    // The bundle whose code holds the class (found from the library that
    // registered it), or the main bundle for classes outside any bundle.
    static NSBundle *bundleForClass(Class cls);
    // nil when the path is not a directory.
    static NSBundle *bundleWithPath(NSString *path);
    NSBundle *initWithPath(NSString *path);

    // Autoreleased.
    NSString *bundlePath() const;
    NSString *resourcePath() const;
    NSString *executablePath() const;
    // CFBundleIdentifier of Info.plist; nil when absent.
    NSString *bundleIdentifier() const;
    NSDictionary *infoDictionary() const;
    NSObject *objectForInfoDictionaryKey(NSString *key) const;
    // Contents/Resources/name.type, a file or a directory; nil when missing.
    // A type of nil or "" means the name alone; a name or type holding "/"
    // finds nothing.
    NSString *pathForResource_ofType(NSString *name, NSString *type) const;

    // Loads the executable with dlopen (RTLD_NOW | RTLD_LOCAL); YES when it
    // is loaded, now or before.
    BOOL load();
    // As load; a failure tells why (the dlerror text).
    Status loadAndReturnError();
    BOOL isLoaded() const;
    // The class named by NSPrincipalClass, after loading the code; nil when
    // Info.plist names none, the code does not load or registers no such class.
    Class principalClass();

protected:
    ~NSBundle() override;

private:
    std::string path_;
    CFRef<CFDictionaryRef> info_;
};
