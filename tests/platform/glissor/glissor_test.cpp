// glissor status as the build folder's glissor runs it: the autostart
// entry that counts among same-named ones, one switched off with
// Hidden=true, arguments handed to hidctl alone, and a glissor with no
// programs beside it.
#include "process.h"
#include "temp_home.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

namespace fs = std::filesystem;
using glissor_test::ProcessResult;
using glissor_test::run_process;
using glissor_test::TempDir;
using glissor_test::write_file;

namespace {

void writeEntry(const std::string &folder, const std::string &name, const std::string &lines) {
    fs::create_directories(folder);
    write_file(folder + "/" + name, "[Desktop Entry]\nType=Application\nName=N\n" + lines);
}

class GlissorStatus : public ::testing::Test {
protected:
    std::map<std::string, std::string> env() const {
        return {{"HOME", dir.path()},
                {"XDG_CONFIG_HOME", dir.path() + "/config"},
                {"XDG_CONFIG_DIRS", dir.path() + "/first:" + dir.path() + "/second"},
                {"HIDSYSTEM_SOCKET", dir.path() + "/no-service.sock"}};
    }
    TempDir dir;
};

TEST_F(GlissorStatus, NamesTheEntryThatCountsAndThenRunsHidctl) {
    const std::string service = "org.glissor.Glissor.EventService.desktop";
    const std::string login = "org.glissor.Glissor.Login.desktop";
    writeEntry(dir.path() + "/first/autostart", service, "Exec=/from/first --backend auto\n");
    writeEntry(dir.path() + "/config/autostart", service, "Exec=/from/home\n");
    writeEntry(dir.path() + "/second/autostart", service, "Exec=/from/second\n");
    writeEntry(dir.path() + "/second/autostart", login, "Exec=/x/loginwindow\nHidden=true\n");

    ProcessResult status = run_process({glissor_test::bin_path("glissor"), "status"}, {.env = env()});
    EXPECT_NE(status.out.find("this glissor:   " + glissor_test::bin_path("glissor") + ", Glissor " GLISSOR_VERSION_FOR_TESTS
                              " from a build folder\n"),
              std::string::npos)
        << status.out;
    EXPECT_NE(status.out.find("event service:  started at session start by " + dir.path() + "/config/autostart/" +
                              service + ": /from/home (it hides " + dir.path() + "/first/autostart/" + service +
                              ") (it hides " + dir.path() + "/second/autostart/" + service + ")\n"),
              std::string::npos)
        << status.out;
    EXPECT_NE(status.out.find("login items:    " + dir.path() + "/second/autostart/" + login +
                              " has Hidden=true: the session starts nothing\n"),
              std::string::npos)
        << status.out;
    // Then hidctl backend, whose failure is glissor's: no service answers here.
    EXPECT_EQ(status.exit_code, 1);
    EXPECT_NE(status.err.find("hidctl: no event service answers on " + dir.path() + "/no-service.sock"),
              std::string::npos)
        << status.err;

    // Arguments go to hidctl alone, and glissor adds nothing of its own.
    ProcessResult passed = run_process({glissor_test::bin_path("glissor"), "status", "--no-such-option"}, {.env = env()});
    EXPECT_EQ(passed.exit_code, 2);
    EXPECT_EQ(passed.out, "");
    EXPECT_NE(passed.err.find("hidctl: "), std::string::npos) << passed.err;

    // No entry at all, under either name.
    fs::remove_all(dir.path() + "/config");
    fs::remove_all(dir.path() + "/first");
    fs::remove_all(dir.path() + "/second");
    std::string none = run_process({glissor_test::bin_path("glissor"), "status"}, {.env = env()}).out;
    EXPECT_NE(none.find("event service:  not started at session start: no autostart entry named " + service),
              std::string::npos)
        << none;
}

TEST_F(GlissorStatus, AGlissorWithNoProgramsBesideItSaysSoInOneLine) {
    fs::create_directories(dir.path() + "/alone/bin");
    std::string copy = dir.path() + "/alone/bin/glissor";
    fs::copy_file(glissor_test::bin_path("glissor"), copy);
    for (const std::vector<std::string> &arguments : {std::vector<std::string>{copy}, {copy, "status"}}) {
        ProcessResult result = run_process(arguments, {.env = env()});
        EXPECT_EQ(result.exit_code, 1);
        EXPECT_EQ(result.err, "glissor: " + dir.path() +
                                  "/alone/lib/glissor: no Glissor programs there (bin/prefhost is missing); "
                                  "reinstall Glissor\n");
    }
}

}  // namespace
