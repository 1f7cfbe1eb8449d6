// What the built deliverables export, checked on the files themselves.
#include "PaneIdentifier.h"
#include "process.h"

#include <PreferencePanes/PreferencePanes.h>
#include <cxxabi.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
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

namespace {

std::string demangled(const std::string &name) {
    int status = 0;
    char *text = abi::__cxa_demangle(name.c_str(), nullptr, nullptr, &status);
    std::string result = status == 0 && text ? text : name;
    std::free(text);
    return result;
}

bool starts_with_any(const std::string &name, const std::vector<std::string> &prefixes) {
    for (const auto &prefix : prefixes)
        if (name.rfind(prefix, 0) == 0) return true;
    return false;
}

// Linker-made markers that every shared object carries.
bool is_linker_marker(const std::string &name) { return name == "_edata" || name == "_end" || name == "__bss_start"; }

}  // namespace

// A library that leaks its private names (a template instance of the C++
// runtime, an internal helper) lets a caller bind to them by accident.
TEST(Deliverables, EveryFrameworkLibraryExportsOnlyItsApi) {
    const std::string lib = GLISSOR_LIB_DIR;
    const std::vector<std::pair<std::string, std::vector<std::string>>> libraries = {
        {lib + "/libCoreFoundation.so",
         {"CF", "kCF", "__CFStringMakeConstantString", "cfplist::", "CFPreferencesDiscardPendingValue"}},
        {lib + "/libIOKit.so", {"NX", "IOHID"}},
        {lib + "/libAppKit.so",
         {"NS", "typeinfo for NS", "typeinfo name for NS", "vtable for NS", "guard variable for NS"}},
        {lib + "/prefhost-window.so", {"prefhostWindowMain"}},
    };
    for (const auto &[file, prefixes] : libraries) {
        auto names = exported_names(file);
        EXPECT_FALSE(names.empty()) << file;
        for (const auto &name : names) {
            if (is_linker_marker(name)) continue;
            EXPECT_TRUE(starts_with_any(demangled(name), prefixes)) << file << " exports " << demangled(name);
        }
    }
}
