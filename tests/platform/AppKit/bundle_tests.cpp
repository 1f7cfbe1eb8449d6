// NSBundle lookups on real bundle directories, and NSUserDefaults.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <CFRef.h>

#include <filesystem>

#include "appkit_test_support.h"

namespace fs = std::filesystem;
using glissor_test::TempDir;
using glissor_test::write_file;

namespace {

std::string infoPlist(const std::string &entries) {
    return plistDocument("<dict>" + entries + "</dict>");
}

// A bundle at DIR/Sample.prefPane with a file and a directory as resources.
std::string makeSampleBundle(const TempDir &dir) {
    std::string root = dir.path() + "/Sample.prefPane";
    write_file(root + "/Contents/Info.plist",
               infoPlist("<key>CFBundleIdentifier</key><string>org.example.Sample</string>"
                         "<key>NSMainNibFile</key><string>Sample</string>"
                         "<key>Count</key><integer>3</integer>"));
    write_file(root + "/Contents/Resources/notes.txt", "text");
    fs::create_directories(root + "/Contents/Resources/Helper.app/Contents/MacOS");
    return root;
}

}  // namespace

using BundleTest = AppKitTest;

TEST_F(BundleTest, ABundleReadsItsInfoPlistAndFindsItsResources) {
    TempDir dir;
    std::string root = makeSampleBundle(dir);
    // A path with a trailing slash and a dot names the same bundle.
    NSBundle *bundle = NSBundle::bundleWithPath(NSString::stringWithUTF8String((root + "/./").c_str()));
    ASSERT_NE(bundle, nil);
    EXPECT_EQ(bundle->bundlePath()->stdString(), root);
    EXPECT_STREQ(bundle->bundleIdentifier()->UTF8String(), "org.example.Sample");
    EXPECT_EQ(bundle->objectForInfoDictionaryKey(NSSTR("Count"))->intValue(), 3);
    EXPECT_EQ(bundle->objectForInfoDictionaryKey(NSSTR("Missing")), nil);
    EXPECT_EQ(bundle->infoDictionary()->count(), 3u);

    EXPECT_EQ(bundle->pathForResource_ofType(NSSTR("notes"), NSSTR("txt"))->stdString(),
              root + "/Contents/Resources/notes.txt");
    EXPECT_EQ(bundle->pathForResource_ofType(NSSTR("Helper"), NSSTR("app"))->stdString(),
              root + "/Contents/Resources/Helper.app");
    EXPECT_EQ(bundle->pathForResource_ofType(NSSTR("notes.txt"), nil)->stdString(),
              root + "/Contents/Resources/notes.txt");
    EXPECT_EQ(bundle->pathForResource_ofType(NSSTR("notes.txt"), NSSTR(""))->stdString(),
              root + "/Contents/Resources/notes.txt");
    EXPECT_EQ(bundle->pathForResource_ofType(NSSTR("Missing"), NSSTR("app")), nil);
    EXPECT_EQ(bundle->pathForResource_ofType(NSSTR("notes"), NSSTR("md")), nil);
    // Names cannot reach outside the resources.
    EXPECT_EQ(bundle->pathForResource_ofType(NSSTR("../Info"), NSSTR("plist")), nil);
    EXPECT_EQ(bundle->pathForResource_ofType(NSSTR(".."), nil), nil);
    EXPECT_EQ(bundle->pathForResource_ofType(NSSTR("Info"), NSSTR("/plist")), nil);
    EXPECT_EQ(bundle->pathForResource_ofType(nil, NSSTR("txt")), nil);
}

TEST_F(BundleTest, MissingBundlesAndInfoPlistsGiveNothing) {
    TempDir dir;
    EXPECT_EQ(NSBundle::bundleWithPath(NSString::stringWithUTF8String((dir.path() + "/none").c_str())), nil);
    write_file(dir.path() + "/file", "x");
    EXPECT_EQ(NSBundle::bundleWithPath(NSString::stringWithUTF8String((dir.path() + "/file").c_str())), nil);
    EXPECT_EQ(NSBundle::bundleWithPath(nil), nil);

    NSBundle *bare = NSBundle::bundleWithPath(NSString::stringWithUTF8String(dir.path().c_str()));
    ASSERT_NE(bare, nil);
    EXPECT_EQ(bare->bundleIdentifier(), nil);
    EXPECT_EQ(bare->principalClass(), nil);
    write_file(dir.path() + "/Contents/Info.plist", "not a property list");
    bare = NSBundle::bundleWithPath(NSString::stringWithUTF8String(dir.path().c_str()));
    EXPECT_EQ(bare->bundleIdentifier(), nil);
    EXPECT_EQ(bare->infoDictionary()->count(), 0u);
    // A FIFO in its place is no Info.plist, and reading it does not block.
    fs::remove(dir.path() + "/Contents/Info.plist");
    ASSERT_EQ(mkfifo((dir.path() + "/Contents/Info.plist").c_str(), 0600), 0);
    bare = NSBundle::bundleWithPath(NSString::stringWithUTF8String(dir.path().c_str()));
    ASSERT_NE(bare, nil);
    EXPECT_EQ(bare->infoDictionary()->count(), 0u);
}

TEST_F(BundleTest, AnInfoPlistThatIsALinkIsReadAtItsTarget) {
    TempDir dir;
    write_file(dir.path() + "/elsewhere.plist",
               "<?xml version=\"1.0\"?><plist><dict><key>CFBundleIdentifier</key><string>org.example.linked"
               "</string></dict></plist>");
    fs::create_directories(dir.path() + "/Contents");
    fs::create_symlink(dir.path() + "/elsewhere.plist", dir.path() + "/Contents/Info.plist");
    NSBundle *linked = NSBundle::bundleWithPath(NSString::stringWithUTF8String(dir.path().c_str()));
    ASSERT_NE(linked, nil);
    ASSERT_NE(linked->bundleIdentifier(), nil);
    EXPECT_EQ(linked->bundleIdentifier()->stdString(), "org.example.linked");
}

TEST_F(BundleTest, ClassesOutsideAnyBundleBelongToTheMainBundle) {
    std::string program = fs::read_symlink("/proc/self/exe").parent_path().string();
    EXPECT_EQ(NSBundle::mainBundle()->bundlePath()->stdString(), program);
    EXPECT_EQ(NSBundle::bundleForClass(NSSlider::staticClass())->bundlePath()->stdString(), program);
    EXPECT_EQ(NSBundle::bundleForClass(nil)->bundlePath()->stdString(), program);
}

TEST_F(BundleTest, APluginsClassesBelongToTheBundleThatLoadedThem) {
    NSBundle *pane = NSBundle::bundleWithPath(NSSTR(TEST_PANE_BUNDLE));
    ASSERT_NE(pane, nil);
    Status loaded = pane->loadAndReturnError();
    ASSERT_TRUE(loaded) << loaded.message();
    EXPECT_TRUE(pane->isLoaded());
    EXPECT_TRUE(pane->load());  // a second load is a no-op

    Class cls = NSClassFromString("TestPanePref");
    ASSERT_NE(cls, nil);
    EXPECT_EQ(pane->principalClass(), cls);
    EXPECT_TRUE(cls->isSubclassOfClass(NSPreferencePane::staticClass()));
    ASSERT_NE(NSClassFromString("TestCurveView"), nil);
    for (Class registered : {cls, NSClassFromString("TestCurveView")}) {
        NSBundle *owner = NSBundle::bundleForClass(registered);
        EXPECT_EQ(owner->bundlePath()->stdString(), fs::canonical(TEST_PANE_BUNDLE).string());
        EXPECT_STREQ(owner->bundleIdentifier()->UTF8String(), "org.glissor.TestPane");
    }
    EXPECT_NE(pane->pathForResource_ofType(NSSTR("TestHelper"), NSSTR("app")), nil);
}

TEST_F(BundleTest, CodeThatDoesNotLoadSaysWhy) {
    TempDir dir;
    std::string root = dir.path() + "/Broken.prefPane";
    write_file(root + "/Contents/Info.plist",
               infoPlist("<key>CFBundleExecutable</key><string>Broken</string>"
                         "<key>NSPrincipalClass</key><string>BrokenPref</string>"));
    write_file(root + "/Contents/MacOS/Broken", "not a shared library");
    NSBundle *bundle = NSBundle::bundleWithPath(NSString::stringWithUTF8String(root.c_str()));
    EXPECT_EQ(bundle->executablePath()->stdString(), root + "/Contents/MacOS/Broken");
    Status loaded = bundle->loadAndReturnError();
    ASSERT_FALSE(loaded);
    EXPECT_NE(loaded.message().find("Broken"), std::string::npos) << loaded.message();
    EXPECT_FALSE(bundle->isLoaded());
    EXPECT_EQ(bundle->principalClass(), nil);
}

using UserDefaultsTest = AppKitTest;

TEST_F(UserDefaultsTest, APersistentDomainIsNilUntilItHoldsSomething) {
    glissor_test::TempHome home;
    NSUserDefaults *defaults = NSUserDefaults::standardUserDefaults();
    CFStringRef domain = CFSTR("org.example.DefaultsTest");
    EXPECT_EQ(defaults->persistentDomainForName(NSString::stringWithCFString(domain)), nil);
    EXPECT_EQ(defaults->persistentDomainForName(nil), nil);

    float speed = 2.5f;
    CFRef<CFNumberRef> number = CFRef<CFNumberRef>::adopt(CFNumberCreate(nullptr, kCFNumberFloatType, &speed));
    CFPreferencesSetAppValue(CFSTR("MouseSpeed"), number.get(), domain);
    ASSERT_TRUE(CFPreferencesAppSynchronize(domain));
    NSDictionary *stored = defaults->persistentDomainForName(NSString::stringWithCFString(domain));
    ASSERT_NE(stored, nil);
    EXPECT_EQ(stored->count(), 1u);
    NSObject *value = stored->objectForKey(NSSTR("MouseSpeed"));
    ASSERT_NE(value, nil);
    EXPECT_TRUE(value->isKindOfClass(NSNumber::staticClass()));
    EXPECT_EQ(value->floatValue(), 2.5f);
    EXPECT_EQ(stored->objectForKey(NSSTR("TrackpadSpeed")), nil);

    CFPreferencesSetAppValue(CFSTR("MouseSpeed"), nullptr, domain);
    ASSERT_TRUE(CFPreferencesAppSynchronize(domain));
    EXPECT_EQ(defaults->persistentDomainForName(NSString::stringWithCFString(domain)), nil);
}
