#include "pane_host_support.h"

#include "CFText.h"
#include "LoginItems.h"

#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;
using glissor_test::bin_path;
using glissor_test::ProcessOptions;
using glissor_test::ProcessResult;
using glissor_test::read_file;
using glissor_test::run_process;
using glissor_test::write_file;

namespace pane_test {

namespace {

const char *const kPaneDomain = GLISSOR_PANE_IDENTIFIER_FOR_TESTS;

std::string plistXml(const std::string &dictBody) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>" + dictBody +
           "</dict></plist>\n";
}

std::string propertyText(int property, int index) {
    auto text = CFRef<CFStringRef>::adopt(CopyLoginItemPropertyAtIndex(kCFPreferencesCurrentUser, property, index));
    return UTF8FromCFString(text.get());
}

}  // namespace

// Canonical, as the pane finds its own bundle.
std::string builtPaneBundle() { return fs::weakly_canonical(std::string(GLISSOR_BUILD_DIR) + "/Glissor.prefPane"); }

std::string builtHelperPath() { return builtPaneBundle() + "/Contents/Resources/GlissorHelper.app"; }

std::vector<std::string> linesOf(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::ostream &operator<<(std::ostream &out, const LoginItem &item) {
    return out << "{" << item.path << ", " << item.hide << "}";
}

std::string loginRecordXml(const std::string &path) {
    return "<key>Path</key><string>" + path + "</string><key>Hide</key><true/>";
}

ProcessResult PaneHostTest::runScript(const std::string &script, const std::string &bundle) {
    ProcessOptions options;
    options.stdin_text = script;
    options.env = home.env();
    options.env.merge(daemon.env());
    return run_process({bin_path("prefhost"), "--script", "-", bundle}, options);
}

std::vector<std::string> PaneHostTest::runScriptLines(const std::string &script, const std::string &bundle) {
    ProcessResult result = runScript(script, bundle);
    EXPECT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(result.err, "");
    return linesOf(result.out);
}

std::string PaneHostTest::defaults(const std::vector<std::string> &args) {
    std::vector<std::string> argv = {bin_path("defaults")};
    argv.insert(argv.end(), args.begin(), args.end());
    ProcessOptions options;
    options.env = home.env();
    ProcessResult result = run_process(argv, options);
    EXPECT_EQ(result.exit_code, 0) << "defaults " << args.front() << ": " << result.err;
    return result.out;
}

void PaneHostTest::storeSetting(const std::string &key, const std::vector<std::string> &typeAndValue) {
    std::vector<std::string> args = {"write", kPaneDomain, key};
    args.insert(args.end(), typeAndValue.begin(), typeAndValue.end());
    defaults(args);
}

void PaneHostTest::storeDomainXml(const std::string &body) {
    write_file(home.preferences_dir() + "/" + kPaneDomain + ".plist", plistXml(body));
}

bool PaneHostTest::domainFileExists() const {
    return glissor_test::file_exists(home.preferences_dir() + "/" + kPaneDomain + ".plist");
}

void PaneHostTest::storeLoginItemsXml(const std::vector<std::string> &records) {
    std::string array;
    for (const auto &record : records) array += "<dict>" + record + "</dict>";
    write_file(home.preferences_dir() + "/loginwindow.plist",
               plistXml("<key>AutoLaunchedApplicationDictionary</key><array>" + array + "</array>"));
}

std::vector<LoginItem> PaneHostTest::loginItems() const {
    std::vector<LoginItem> items;
    int count = GetCountOfLoginItems(kCFPreferencesCurrentUser);
    for (int index = 0; index < count; ++index)
        items.push_back({propertyText(kLoginItemPathInfo, index), propertyText(kLoginItemHideInfo, index)});
    return items;
}

std::string PaneHostTest::copyPaneBundle(const CopyOptions &options) {
    std::string root = fs::weakly_canonical(scratch.path() + "/Copy.prefPane");
    fs::copy(builtPaneBundle(), root, fs::copy_options::recursive);
    if (!options.withHelper) fs::remove_all(root + "/Contents/Resources/GlissorHelper.app");
    if (!options.layoutFrom.empty()) {
        std::string layoutPath = root + "/Contents/Resources/Glissor.layout";
        std::string layout = read_file(layoutPath);
        size_t at = layout.find(options.layoutFrom);
        EXPECT_NE(at, std::string::npos) << "the layout holds no '" << options.layoutFrom << "'";
        if (at != std::string::npos) layout.replace(at, options.layoutFrom.size(), options.layoutTo);
        write_file(layoutPath, layout);
    }
    return root;
}

}  // namespace pane_test
