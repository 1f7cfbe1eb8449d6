// A private desktop session for the desktop backends' tests: a sandbox home
// with XDG directories of its own and a dbus-daemon of its own, all in this
// process's environment, so the service, its backend and the tools a test
// runs use them and never the session of whoever runs the tests.
#pragma once

#include <memory>
#include <map>
#include <string>
#include <vector>

#include "process.h"
#include "temp_home.h"

namespace hidsystem_test {

class PrivateSession {
public:
    PrivateSession();
    ~PrivateSession();
    PrivateSession(const PrivateSession &) = delete;
    PrivateSession &operator=(const PrivateSession &) = delete;

    const std::string &root() const { return dir_.path(); }
    std::string state_home() const { return root() + "/state"; }
    // The snapshot file a backend of this kind keeps.
    std::string snapshot_path(const std::string &kind) const;
    // Ends the bus, as a session that closes.
    void stop_bus();

private:
    glissor_test::TempDir dir_;
    std::vector<std::unique_ptr<glissor_test::ScopedEnv>> env_;
    glissor_test::BackgroundProcess bus_;
};

// Runs gsettings in the private session; its output without the last line
// end. The test fails when it does not succeed.
std::string gsettings(const std::vector<std::string> &arguments);

// `gsettings monitor SCHEMA` writing into a file; ready when constructed.
class SettingsMonitor {
public:
    explicit SettingsMonitor(const std::string &schema);
    // The lines it printed for KEY, oldest first ("KEY: VALUE").
    std::vector<std::string> changes(const std::string &key) const;

private:
    glissor_test::TempDir dir_;
    std::string path_;
    glissor_test::BackgroundProcess monitor_;
};

// A program the tests' build puts beside the test binary.
std::string test_program(const std::string &name);

// True while the process exists and has not ended (a zombie has).
bool process_running(int pid);

// The process id `hidctl backend` shows, or 0.
int backend_pid(const std::map<std::string, std::string> &env);

}  // namespace hidsystem_test
