// What the built deliverables export, checked on the files themselves.
#include "process.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <sstream>

using namespace glissor_test;

namespace {

const std::string kPlugin = std::string(GLISSOR_BUILD_DIR) + "/Glissor.prefPane/Contents/MacOS/Glissor";
const std::string kHelper = std::string(GLISSOR_BUILD_DIR) + "/GlissorHelper.app/Contents/MacOS/GlissorHelper";

const std::vector<std::string> kCoreFunctions = {"setMouseFix", "readMousePref", "readTrackpadPref"};

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

TEST(Deliverables, PluginExportsTheCoreUnmangledAndTheHelperExportsNothingOfIt) {
    auto plugin = exported_names(kPlugin);
    auto helper = exported_names(kHelper);
    void *handle = dlopen(kPlugin.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_TRUE(handle) << dlerror();
    for (const auto &name : kCoreFunctions) {
        EXPECT_TRUE(contains(plugin, name)) << name << " not exported by the plug-in";
        EXPECT_TRUE(dlsym(handle, name.c_str())) << name << " not found by its plain name";
        EXPECT_FALSE(contains(helper, name)) << name << " exported by the helper";
    }
    dlclose(handle);
    for (const auto &name : plugin)
        EXPECT_EQ(name.find("GlissorSpeedToFixed"), std::string::npos) << "internal function exported";
}

}  // namespace
