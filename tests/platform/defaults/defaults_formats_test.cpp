// What defaults writes, read back by an independent property-list reader
// (Python's plistlib), and the text forms users type and read.
#include "process.h"
#include "temp_home.h"

#include <gmock/gmock.h>

#include <filesystem>

using namespace glissor_test;
using testing::HasSubstr;

namespace {

const std::string kDomain = "org.example.formats";

// Prints "KEY TYPE REPR" for each key of the file's top dictionary.
const char *kPlistDump =
    "import plistlib, sys\n"
    "def norm(v):\n"
    "    if isinstance(v, dict): return {k: norm(v[k]) for k in sorted(v)}\n"
    "    if isinstance(v, list): return [norm(i) for i in v]\n"
    "    return v\n"
    "d = plistlib.load(open(sys.argv[1], 'rb'))\n"
    "for k in sorted(d): print(k, type(d[k]).__name__, repr(norm(d[k])))\n";

class DefaultsFormats : public ::testing::Test {
protected:
    TempHome home;
    std::string file = home.preferences_dir() + "/" + kDomain + ".plist";

    ProcessResult defaults(std::vector<std::string> args, const std::string &input = {},
                           std::map<std::string, std::string> env = {}) {
        args.insert(args.begin(), bin_path("defaults"));
        env.merge(home.env());
        return run_process(args, {.stdin_text = input, .env = env});
    }
    void write(std::vector<std::string> args) {
        args.insert(args.begin(), {"write", kDomain});
        auto result = defaults(args);
        ASSERT_EQ(result.exit_code, 0) << result.err;
    }
    std::string dump(const std::string &path) {
        auto result = run_process({"/usr/bin/python3", "-c", kPlistDump, path});
        EXPECT_EQ(result.exit_code, 0) << result.err;
        return result.out;
    }
};

TEST_F(DefaultsFormats, EveryValueTypeReadsBackWithItsTypeInAnotherReader) {
    write({"S", "-string", "two words"});
    write({"I", "-integer", "-42"});
    write({"F", "-float", "1.5"});
    write({"D", "-double", "0.1"});
    write({"B", "-boolean", "NO"});
    write({"T", "-bool", "true"});
    write({"When", "-date", "2024-01-02 03:04:05 +0100"});
    write({"Z", "-date", "2024-01-02T03:04:05Z"});
    write({"Bytes", "-data", "00ff10"});
    write({"A", "-array", "x", "-int", "2", "-bool", "1"});
    write({"A", "-array-add", "-float", "2.5", "(p,q)"});
    write({"Dict", "-dict", "k", "v", "n", "-int", "7"});
    write({"Dict", "-dict-add", "more", "-bool", "YES"});
    write({"Plain", "hello"});

    EXPECT_EQ(dump(file),
              "A list ['x', 2, True, 2.5, ['p', 'q']]\n"
              "B bool False\n"
              "Bytes bytes b'\\x00\\xff\\x10'\n"
              "D float 0.1\n"
              "Dict dict {'k': 'v', 'more': True, 'n': 7}\n"
              "F float 1.5\n"
              "I int -42\n"
              "Plain str 'hello'\n"
              "S str 'two words'\n"
              "T bool True\n"
              "When datetime datetime.datetime(2024, 1, 2, 2, 4, 5)\n"
              "Z datetime datetime.datetime(2024, 1, 2, 3, 4, 5)\n");

    for (auto [key, type] : std::vector<std::pair<std::string, std::string>>{
             {"S", "string"}, {"I", "integer"}, {"F", "float"}, {"B", "boolean"}, {"When", "date"},
             {"Bytes", "data"}, {"A", "array"}, {"Dict", "dictionary"}})
        EXPECT_EQ(defaults({"read-type", kDomain, key}).out, "Type is " + type + "\n");
    EXPECT_EQ(defaults({"read", kDomain, "S"}).out, "two words\n");
    EXPECT_EQ(defaults({"read", kDomain, "When"}).out, "2024-01-02 02:04:05 +0000\n");
    EXPECT_EQ(defaults({"read", kDomain, "Bytes"}).out, "<00ff10>\n");
}

TEST_F(DefaultsFormats, OldStyleTextIsParsedAndPrinted) {
    write({"List", "(1, \"two words\", (nested), {})"});
    write({"Record", "{Path = \"/x/Y.app\"; Hide = 1; /* a comment */ Name = \"caf\\U00e9\";}"});
    write({"Quoted", "\"(not a list)\""});
    write({"Blob", "<0102 0a>"});
    EXPECT_EQ(dump(file),
              "Blob bytes b'\\x01\\x02\\n'\n"
              "List list ['1', 'two words', ['nested'], {}]\n"
              "Quoted str '(not a list)'\n"
              "Record dict {'Hide': '1', 'Name': 'café', 'Path': '/x/Y.app'}\n");

    // The whole domain prints in the form other tools parse: containers
    // opening with their own indentation, plain words unquoted.
    EXPECT_EQ(defaults({"read", kDomain}).out,
              "{\n"
              "    Blob = <01020a>;\n"
              "    List =     (\n"
              "        1,\n"
              "        \"two words\",\n"
              "                (\n"
              "            nested\n"
              "        ),\n"
              "                {\n"
              "        }\n"
              "    );\n"
              "    Quoted = \"(not a list)\";\n"
              "    Record =     {\n"
              "        Hide = 1;\n"
              "        Name = \"caf\xc3\xa9\";\n"
              "        Path = \"/x/Y.app\";\n"
              "    };\n"
              "}\n");

    auto broken = defaults({"write", kDomain, "Bad", "{a = 1"});
    EXPECT_EQ(broken.exit_code, 1);
    EXPECT_THAT(broken.err, HasSubstr("could not parse {a = 1 as property-list text"));

    // The whole domain at once, from a dictionary.
    ASSERT_EQ(defaults({"write", kDomain, "{only = one;}"}).exit_code, 0);
    EXPECT_EQ(dump(file), "only str 'one'\n");
}

TEST_F(DefaultsFormats, ExportThenImportRestoresADomainExactly) {
    write({"Count", "-int", "3"});
    write({"Speed", "-float", "0.7"});
    write({"When", "-date", "2001-01-01"});
    write({"Items", "-array", "{Path=/a.app;}", "-data", "beef"});
    std::string before = dump(file);

    auto exported = defaults({"export", kDomain, "-"});
    ASSERT_EQ(exported.exit_code, 0) << exported.err;
    EXPECT_THAT(exported.out, HasSubstr("<!DOCTYPE plist"));
    std::string saved = home.home() + "/saved.plist";
    ASSERT_EQ(defaults({"export", kDomain, saved}).exit_code, 0);
    EXPECT_EQ(read_file(saved), exported.out);

    write({"Count", "-int", "99"});
    write({"Extra", "gone after import"});
    auto imported = defaults({"import", kDomain, "-"}, exported.out);
    ASSERT_EQ(imported.exit_code, 0) << imported.err;
    EXPECT_EQ(dump(file), before);

    // A binary property list, as other tools write them, is accepted too.
    std::string binary = home.home() + "/binary.plist";
    auto made = run_process({"/usr/bin/python3", "-c",
                             "import plistlib,sys; open(sys.argv[1],'wb').write(plistlib.dumps("
                             "{'Bin': 5, 'Text': 'x'}, fmt=plistlib.FMT_BINARY))",
                             binary});
    ASSERT_EQ(made.exit_code, 0) << made.err;
    ASSERT_EQ(defaults({"import", kDomain, binary}).exit_code, 0);
    EXPECT_EQ(dump(file), "Bin int 5\nText str 'x'\n");
}

TEST_F(DefaultsFormats, RenameDomainsFindAndEveryDomain) {
    write({"Old", "-int", "5"});
    ASSERT_EQ(defaults({"rename", kDomain, "Old", "New"}).exit_code, 0);
    EXPECT_EQ(dump(file), "New int 5\n");
    EXPECT_EQ(defaults({"rename", kDomain, "Old", "Other"}).exit_code, 1);

    ASSERT_EQ(defaults({"write", "org.example.second", "Greeting", "hello needle"}).exit_code, 0);
    EXPECT_EQ(defaults({"domains"}).out, kDomain + ", org.example.second\n");
    EXPECT_EQ(defaults({"find", "NEEDLE"}).out,
              "Found 1 keys in domain 'org.example.second': {\n    Greeting = \"hello needle\";\n}\n");
    EXPECT_EQ(defaults({"find", "absent"}).out, "No domain, key, nor value containing 'absent'\n");
    auto everything = defaults({"read"});
    EXPECT_EQ(everything.exit_code, 0);
    EXPECT_THAT(everything.out, HasSubstr("\"org.example.second\" =     {\n        Greeting = \"hello needle\";\n"));
}

TEST_F(DefaultsFormats, GlobalDomainHostsAndFilesAsDomains) {
    for (std::string name : {"-g", "-globalDomain", "NSGlobalDomain"})
        ASSERT_EQ(defaults({"write", name, "Key" + name.substr(name.size() - 1), "-int", "1"}).exit_code, 0);
    ASSERT_EQ(defaults({"-g", "write", "Before", "-int", "2"}).exit_code, 0) << "-g before the verb";
    EXPECT_EQ(dump(home.preferences_dir() + "/.GlobalPreferences.plist"),
              "Before int 2\nKeyg int 1\nKeyn int 1\n");
    EXPECT_FALSE(std::filesystem::exists(home.preferences_dir() + "/-g.plist"));
    EXPECT_EQ(defaults({"read", "-g", "Before"}).out, "2\n");

    ASSERT_EQ(defaults({"-host", "otherbox", "write", kDomain, "Where", "there"}).exit_code, 0);
    EXPECT_EQ(dump(home.preferences_dir() + "/ByHost/" + kDomain + ".otherbox.plist"), "Where str 'there'\n");
    ASSERT_EQ(defaults({"-currentHost", "write", kDomain, "Where", "here"}).exit_code, 0);
    EXPECT_EQ(defaults({"-currentHost", "read", kDomain, "Where"}).out, "here\n");
    EXPECT_EQ(defaults({"-currentHost", "domains"}).out, kDomain + "\n") << "the store's name for this machine";
    EXPECT_EQ(defaults({"-host", "otherbox", "read", kDomain, "Where"}).out, "there\n");
    EXPECT_EQ(defaults({"read", kDomain}).exit_code, 1) << "neither wrote the any-host domain";

    std::string loose = home.home() + "/loose.plist";
    ASSERT_EQ(defaults({"write", loose, "Size", "-int", "9"}).exit_code, 0);
    EXPECT_EQ(dump(loose), "Size int 9\n");
    EXPECT_EQ(defaults({"read", home.home() + "/loose", "Size"}).out, "9\n") << "the .plist may be left off";
}

TEST_F(DefaultsFormats, NumbersDoNotDependOnTheLocale) {
    std::map<std::string, std::string> german = {{"LC_ALL", "de_DE.UTF-8"}, {"LANG", "de_DE.UTF-8"}};
    ASSERT_EQ(defaults({"write", kDomain, "Speed", "-float", "0.25"}, {}, german).exit_code, 0);
    EXPECT_EQ(defaults({"write", kDomain, "Comma", "-float", "0,25"}, {}, german).exit_code, 1);
    EXPECT_EQ(defaults({"read", kDomain, "Speed"}, {}, german).out, "0.25\n");
    EXPECT_EQ(dump(file), "Speed float 0.25\n");
}

}  // namespace
