#include "private_session.h"

#include "backend_status.h"

#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "event_daemon.h"
#include "private_x.h"

namespace hidsystem_test {

PrivateSession::PrivateSession() {
    const std::string &home = dir_.path();
    mkdir((home + "/runtime").c_str(), 0700);
    std::string bus_path = home + "/bus";
    for (const auto &[name, value] :
         std::vector<std::pair<std::string, std::string>>{{"HOME", home},
                                                          {"XDG_CONFIG_HOME", home + "/config"},
                                                          {"XDG_STATE_HOME", home + "/state"},
                                                          {"XDG_CACHE_HOME", home + "/cache"},
                                                          {"XDG_DATA_HOME", home + "/data"},
                                                          {"XDG_RUNTIME_DIR", home + "/runtime"},
                                                          {"GSETTINGS_BACKEND", "dconf"},
                                                          {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + bus_path}})
        env_.push_back(std::make_unique<glissor_test::ScopedEnv>(name, value));
    bus_ = glissor_test::BackgroundProcess(
        {"/usr/bin/dbus-daemon", "--session", "--nofork", "--nopidfile", "--address=unix:path=" + bus_path});
    if (!eventually([&] { return glissor_test::socket_answers(bus_path); }, std::chrono::seconds(10)))
        throw std::runtime_error("the private dbus-daemon did not start");
}

PrivateSession::~PrivateSession() { stop_bus(); }

void PrivateSession::stop_bus() { bus_.stop(SIGTERM); }

std::string PrivateSession::snapshot_path(const std::string &kind) const {
    return state_home() + "/glissor/hidsystemd-" + kind + ".snapshot";
}

std::string gsettings(const std::vector<std::string> &arguments) {
    std::vector<std::string> argv = {"/usr/bin/gsettings"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    auto result = glissor_test::run_process(argv);
    EXPECT_EQ(result.exit_code, 0) << result.err;
    std::string out = result.out;
    if (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

SettingsMonitor::SettingsMonitor(const std::string &schema)
    : path_(dir_.path() + "/changes"),
      monitor_({"/bin/sh", "-c", "exec /usr/bin/gsettings monitor " + schema + " > " + path_}) {
    // Changes made before it listens are lost: wait until one shows.
    auto probe = [&](const char *value) {
        gsettings({"set", schema, "left-handed", value});
        return eventually([&] { return changes("left-handed").size() > 0; }, std::chrono::milliseconds(500));
    };
    for (int attempt = 0; attempt < 20; ++attempt)
        if (probe(attempt % 2 ? "false" : "true")) break;
    gsettings({"reset", schema, "left-handed"});
}

std::vector<std::string> SettingsMonitor::changes(const std::string &key) const {
    std::istringstream lines(glissor_test::read_file(path_));
    std::vector<std::string> found;
    for (std::string line; std::getline(lines, line);)
        if (line.starts_with(key + ":")) found.push_back(line);
    return found;
}

std::string test_program(const std::string &name) {
    char self[PATH_MAX] = {0};
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string path(self, length > 0 ? static_cast<std::size_t>(length) : 0);
    return path.substr(0, path.rfind('/') + 1) + name;
}

bool process_running(int pid) {
    std::string stat = glissor_test::read_file("/proc/" + std::to_string(pid) + "/stat");
    auto after_name = stat.rfind(") ");
    return after_name != std::string::npos && stat.size() > after_name + 2 && stat[after_name + 2] != 'Z';
}

int backend_pid(const std::map<std::string, std::string> &env) {
    auto status = backend_status(env);
    return status ? status->pid : 0;
}

}  // namespace hidsystem_test
