// The Glissor pane driven through the real prefhost, with a home and an
// event service of the test's own.
#pragma once

#include "event_daemon.h"
#include "process.h"
#include "temp_home.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pane_test {

// The built pane bundle, build*/Glissor.prefPane.
std::string builtPaneBundle();
// The bundled helper's path, as the pane registers it.
std::string builtHelperPath();
std::vector<std::string> linesOf(const std::string &text);

// One login item as the list holds it, read back with the list's own
// functions (a missing property is empty).
struct LoginItem {
    std::string path;
    std::string hide;  // "Hide", "DoNotHide" or empty
    bool operator==(const LoginItem &) const = default;
};
std::ostream &operator<<(std::ostream &out, const LoginItem &item);

class PaneHostTest : public ::testing::Test {
protected:
    // prefhost --script - BUNDLE with the script on standard input.
    glissor_test::ProcessResult runScript(const std::string &script, const std::string &bundle = builtPaneBundle());
    // runScript, which must succeed quietly; its output lines.
    std::vector<std::string> runScriptLines(const std::string &script, const std::string &bundle = builtPaneBundle());

    // build/bin/defaults with the arguments; it must succeed. Its output.
    std::string defaults(const std::vector<std::string> &args);
    // `defaults write` of one key in the pane's domain.
    void storeSetting(const std::string &key, const std::vector<std::string> &typeAndValue);
    // The pane's domain as a property-list file written directly, for value
    // types `defaults` cannot write. body: the <dict>'s inner XML.
    void storeDomainXml(const std::string &body);
    bool domainFileExists() const;

    // The login items list as the login window's domain file holds it, one
    // record for each <dict>'s inner XML (see loginRecordXml).
    void storeLoginItemsXml(const std::vector<std::string> &records);
    std::vector<LoginItem> loginItems() const;

    // A copy of the built bundle, whose interface file may be edited and
    // whose helper may be left out.
    struct CopyOptions {
        bool withHelper = true;
        std::string layoutFrom;  // text to replace in the layout, once
        std::string layoutTo;
    };
    std::string copyPaneBundle(const CopyOptions &options);

    glissor_test::TempHome home;
    glissor_test::EventDaemon daemon;
    glissor_test::TempDir scratch;
};

// A record {Path: path, Hide: true} in property-list XML.
std::string loginRecordXml(const std::string &path);

}  // namespace pane_test
