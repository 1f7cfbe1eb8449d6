// The command-line convention shared by the platform programs: --help on
// standard output with exit 0, --version, usage errors on standard error
// with exit 2, and a manual page for each.
#include "process.h"
#include "temp_home.h"

#include <gmock/gmock.h>

using namespace glissor_test;
using testing::HasSubstr;
using testing::StartsWith;

namespace {

struct Convention {
    std::string program;
    std::vector<std::string> described;  // what --help must explain
    std::vector<std::string> wrong;      // a command line the program refuses
};

const std::vector<Convention> kPrograms = {
    {"defaults",
     {"read-type", "write", "rename", "delete", "domains", "find", "export", "import", "-array-add", "-dict-add",
      "-currentHost", "-host", "-g", "-data", "-date"},
     {"--bogus"}},
    {"loginwindow", {"--wait", "--version"}, {"--bogus"}},
    {"prefhost", {"--script", "--exit-after-first-frame"}, {"--bogus", "x.prefPane"}},
};

class CommandLine : public ::testing::Test {
protected:
    TempHome home;
    ProcessResult run(const std::string &program, std::vector<std::string> args) {
        args.insert(args.begin(), bin_path(program));
        return run_process(args, {.env = home.env()});
    }
};

TEST_F(CommandLine, HelpVersionAndUsageErrorsFollowOneConvention) {
    for (const Convention &each : kPrograms) {
        SCOPED_TRACE(each.program);
        auto help = run(each.program, {"--help"});
        EXPECT_EQ(help.exit_code, 0);
        EXPECT_EQ(help.err, "");
        EXPECT_THAT(help.out, StartsWith("usage: " + each.program));
        for (const std::string &word : each.described) EXPECT_THAT(help.out, HasSubstr(word)) << "not described";

        auto version = run(each.program, {"--version"});
        EXPECT_EQ(version.exit_code, 0);
        EXPECT_EQ(version.out, each.program + " (Glissor) " GLISSOR_VERSION_FOR_TESTS "\n");

        auto wrong = run(each.program, each.wrong);
        EXPECT_EQ(wrong.exit_code, 2);
        EXPECT_EQ(wrong.out, "");
        EXPECT_THAT(wrong.err, StartsWith(each.program + ": ")) << "names the program, not its path";
        EXPECT_THAT(wrong.err, HasSubstr("usage: " + each.program));

        std::string manual = read_file(std::string(GLISSOR_SOURCE_DIR) + "/docs/man/" + each.program + ".1");
        EXPECT_THAT(manual, HasSubstr(".TH " + each.program));
    }
    EXPECT_EQ(run("defaults", {}).exit_code, 2) << "no verb";
    EXPECT_EQ(run("defaults", {"frobnicate"}).exit_code, 2) << "unknown verb";
    EXPECT_EQ(run("defaults", {"-host"}).exit_code, 2) << "-host without a name";
    EXPECT_EQ(run("prefhost", {"--script"}).exit_code, 2) << "--script without a file";
}

}  // namespace
