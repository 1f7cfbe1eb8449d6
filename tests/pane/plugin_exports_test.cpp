// What the built deliverables export, checked on the files themselves.
#include "PaneIdentifier.h"
#include "process.h"

#include <PreferencePanes/PreferencePanes.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <sstream>

using namespace glissor_test;

namespace {

const std::string kBundle = std::string(GLISSOR_BUILD_DIR) + "/Glissor.prefPane";
const std::string kPlugin = kBundle + "/Contents/MacOS/Glissor";
const std::string kHelper = std::string(GLISSOR_BUILD_DIR) + "/GlissorHelper.app/Contents/MacOS/GlissorHelper";

const std::vector<std::string> kCoreFunctions = {"setMouseFix", "readMousePref", "readTrackpadPref"};
const std::vector<std::string> kLoginItemsFunctions = {
    "GetCountOfLoginItems",    "CopyLoginItemPropertyAtIndex", "AddLoginItemWithPropertiesToUser",
    "RemoveLoginItemAtIndex",  "PrintOutLoginItemAtIndex",     "PrintOutAllLoginItems",
    "PrintNumberOfLoginItems",
};

// The names of the file's defined dynamic symbols.
std::vector<std::string> exported_names(const std::string &file) {
    auto result = run_process({"/usr/bin/nm", "-D", "--defined-only", "--format=posix", file});
    EXPECT_EQ(result.exit_code, 0) << result.err;
    std::vector<std::string> names;
    std::istringstream lines(result.out);
    std::string name, rest;
    while (lines >> name && std::getline(lines, rest)) names.push_back(name);
    return names;
}

bool contains(const std::vector<std::string> &names, const std::string &name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

TEST(Deliverables, PluginExportsTheCoreAndLoginItemsUnmangledAndTheHelperNothingOfThem) {
    auto plugin = exported_names(kPlugin);
    auto helper = exported_names(kHelper);
    void *handle = dlopen(kPlugin.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_TRUE(handle) << dlerror();
    std::vector<std::string> functions = kCoreFunctions;
    functions.insert(functions.end(), kLoginItemsFunctions.begin(), kLoginItemsFunctions.end());
    for (const auto &name : functions) {
        EXPECT_TRUE(contains(plugin, name)) << name << " not exported by the plug-in";
        EXPECT_TRUE(dlsym(handle, name.c_str())) << name << " not found by its plain name";
        EXPECT_FALSE(contains(helper, name)) << name << " exported by the helper";
    }
    dlclose(handle);
    for (const auto &name : plugin)
        EXPECT_EQ(name.find("GlissorSpeedToFixed"), std::string::npos) << "internal function exported";
}

TEST(Deliverables, TheBuiltBundleDeclaresThePaneIdentifierItsClassAndItsResources) {
    NSAutoreleasePool *pool = NSAutoreleasePool::alloc()->init();
    NSBundle *bundle = NSBundle::bundleWithPath(NSString::stringWithUTF8String(kBundle.c_str()));
    ASSERT_TRUE(bundle);
    ASSERT_TRUE(bundle->bundleIdentifier());
    EXPECT_STREQ(bundle->bundleIdentifier()->UTF8String(), kGlissorPaneIdentifierText);
    Class principal = bundle->principalClass();
    ASSERT_TRUE(principal) << "the plug-in registers no class named by NSPrincipalClass";
    EXPECT_STREQ(principal->name(), "GlissorPref");
    EXPECT_TRUE(principal->isSubclassOfClass(NSPreferencePane::staticClass()));
    NSString *nib = static_cast<NSString *>(bundle->objectForInfoDictionaryKey(NSSTR("NSMainNibFile")));
    ASSERT_TRUE(nib);
    EXPECT_TRUE(bundle->pathForResource_ofType(nib, NSSTR("layout"))) << nib->UTF8String() << ".layout missing";
    EXPECT_TRUE(bundle->pathForResource_ofType(NSSTR("GlissorHelper"), NSSTR("app")));
    pool->drain();
}

}  // namespace
