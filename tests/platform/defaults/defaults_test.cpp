// The defaults tool as a user runs it.
#include "process.h"
#include "temp_home.h"

using namespace glissor_test;

namespace {

const std::string kDomain = "org.example.defaults-test";

class DefaultsTool : public ::testing::Test {
protected:
    TempHome home;
    ProcessResult defaults(std::vector<std::string> args) {
        args.insert(args.begin(), bin_path("defaults"));
        return run_process(args, {.env = home.env()});
    }
    void write(std::vector<std::string> args) {
        args.insert(args.begin(), {"write", kDomain});
        auto result = defaults(args);
        ASSERT_EQ(result.exit_code, 0) << result.err;
    }
};

TEST_F(DefaultsTool, TypedValuesReadBackWithTheirTypeVisible) {
    write({"Text", "1.5"});
    write({"Float", "-float", "1.5"});
    write({"Whole", "-float", "2"});
    write({"Double", "-double", "0.1"});
    write({"Count", "-int", "-2"});
    write({"On", "-bool", "YES"});
    write({"List", "-array", "a b", "-int", "3", "-bool", "false"});

    EXPECT_EQ(defaults({"read", kDomain, "Text"}).out, "1.5\n") << "a string read by key prints bare";
    EXPECT_EQ(defaults({"read", kDomain, "Float"}).out, "1.5\n");
    EXPECT_EQ(defaults({"read", kDomain, "Whole"}).out, "2\n");
    EXPECT_EQ(defaults({"read", kDomain, "Double"}).out, "0.1\n");
    EXPECT_EQ(defaults({"read", kDomain, "Count"}).out, "-2\n");
    EXPECT_EQ(defaults({"read", kDomain, "On"}).out, "1\n");
    EXPECT_EQ(defaults({"read", kDomain, "List"}).out, "(\n    \"a b\",\n    3,\n    0\n)\n");
    EXPECT_EQ(defaults({"read-type", kDomain, "Text"}).out, "Type is string\n");
    EXPECT_EQ(defaults({"read-type", kDomain, "Float"}).out, "Type is float\n");
    EXPECT_EQ(defaults({"read-type", kDomain, "Count"}).out, "Type is integer\n");

    auto whole = defaults({"read", kDomain});
    EXPECT_EQ(whole.exit_code, 0);
    EXPECT_NE(whole.out.find("    Float = 1.5;\n"), std::string::npos) << whole.out;
    EXPECT_NE(whole.out.find("    Text = \"1.5\";\n"), std::string::npos) << whole.out;
}

TEST_F(DefaultsTool, UnknownDomainsKeysAndBadValuesFailClearly) {
    auto no_domain = defaults({"read", "org.example.nothing"});
    EXPECT_EQ(no_domain.exit_code, 1);
    EXPECT_EQ(no_domain.err, "defaults: domain org.example.nothing does not exist\n");
    EXPECT_EQ(no_domain.out, "");

    write({"Present", "-int", "1"});
    auto no_key = defaults({"read", kDomain, "Absent"});
    EXPECT_EQ(no_key.exit_code, 1);
    EXPECT_EQ(no_key.err, "defaults: the key Absent does not exist in domain " + kDomain + "\n");
    EXPECT_EQ(defaults({"delete", kDomain, "Absent"}).exit_code, 1);
    EXPECT_EQ(defaults({"read-type", kDomain, "Absent"}).exit_code, 1);

    for (auto bad : std::vector<std::vector<std::string>>{{"-int", "1.5"}, {"-int", "99999999999999999999"},
                                                         {"-float", "fast"}, {"-bool", "maybe"},
                                                         {"-array", "-int"}}) {
        bad.insert(bad.begin(), {"write", kDomain, "Bad"});
        auto result = defaults(bad);
        EXPECT_EQ(result.exit_code, 1) << bad[3];
        EXPECT_NE(result.err.find("defaults: "), std::string::npos);
    }
    EXPECT_EQ(defaults({"read", kDomain, "Bad"}).exit_code, 1) << "a refused value writes nothing";
    EXPECT_EQ(defaults({"frobnicate"}).exit_code, 2);
    EXPECT_EQ(defaults({}).exit_code, 2);
}

TEST_F(DefaultsTool, DeleteRemovesAKeyOrTheWholeDomain) {
    write({"A", "-int", "1"});
    write({"B", "-int", "2"});
    EXPECT_EQ(defaults({"delete", kDomain, "A"}).exit_code, 0);
    EXPECT_EQ(defaults({"read", kDomain, "A"}).exit_code, 1);
    EXPECT_EQ(defaults({"read", kDomain, "B"}).out, "2\n");
    EXPECT_EQ(defaults({"delete", kDomain}).exit_code, 0);
    EXPECT_EQ(defaults({"read", kDomain}).exit_code, 1);
}

TEST_F(DefaultsTool, ScopeFlagsWriteTheirOwnFiles) {
    write({"Where", "user"});
    auto any_user = defaults({"-anyUser", "write", kDomain, "Where", "everyone"});
    ASSERT_EQ(any_user.exit_code, 0) << any_user.err;
    EXPECT_EQ(defaults({"read", kDomain, "Where"}).out, "user\n");
    EXPECT_EQ(defaults({"-anyUser", "read", kDomain, "Where"}).out, "everyone\n");
    EXPECT_TRUE(file_exists(home.system_dir() + "/" + kDomain + ".plist"));
    EXPECT_EQ(defaults({"-currentHost", "read", kDomain}).exit_code, 1);
}

}  // namespace
