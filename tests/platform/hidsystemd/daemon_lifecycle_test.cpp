// Starting, refusing to start, stopping, and who may talk to the daemon.
#include <grp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <optional>
#include <thread>
#include <vector>

#include "event_daemon.h"
#include "raw_client.h"
#include "wait.h"

namespace {

using glissor_test::BackgroundProcess;
using glissor_test::bin_path;
using glissor_test::EventDaemon;
using glissor_test::run_process;
using hidsystem_test::RawClient;

bool wait_until_answering(const std::string &path) {
    return glissor_test::eventually([&] { return glissor_test::socket_answers(path); });
}

std::size_t line_count(const std::string &text) { return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')); }

TEST(DaemonLifecycle, TheSocketIsTheOwnersAloneAndShutdownSignalsRemoveIt) {
    for (int sig : {SIGTERM, SIGINT}) {
        EventDaemon daemon;
        struct stat status {};
        ASSERT_EQ(lstat(daemon.socket_path().c_str(), &status), 0);
        EXPECT_TRUE(S_ISSOCK(status.st_mode));
        EXPECT_EQ(status.st_mode & 0777, 0600u);
        EXPECT_EQ(status.st_uid, geteuid());

        EXPECT_EQ(daemon.process().stop(sig), 0) << "signal " << sig;
        EXPECT_FALSE(glissor_test::file_exists(daemon.socket_path())) << "signal " << sig;
    }
}

TEST(DaemonLifecycle, ASecondDaemonOnALiveSocketRefusesWithOneLine) {
    EventDaemon daemon;
    auto second = run_process({bin_path("hidsystemd"), "--socket", daemon.socket_path()});
    EXPECT_EQ(second.exit_code, 1);
    EXPECT_EQ(line_count(second.err), 1u) << second.err;
    EXPECT_NE(second.err.find(daemon.socket_path()), std::string::npos) << second.err;

    // The first one is untouched.
    RawClient client(daemon.socket_path());
    EXPECT_EQ(client.ask("HELLO"), "HIDSYSTEM/1 OK hidsystemd");
}

TEST(DaemonLifecycle, AStaleSocketIsReplacedButNoOtherFile) {
    glissor_test::TempDir dir;
    std::string path = dir.path() + "/hidsystem.sock";
    {
        // A daemon that crashed leaves its socket behind.
        BackgroundProcess crashed({bin_path("hidsystemd"), "--socket", path});
        ASSERT_TRUE(wait_until_answering(path));
        crashed.stop(SIGKILL);
        ASSERT_TRUE(glissor_test::file_exists(path));
    }
    {
        BackgroundProcess successor({bin_path("hidsystemd"), "--socket", path});
        ASSERT_TRUE(wait_until_answering(path));
        RawClient client(path);
        EXPECT_EQ(client.ask("GET HIDMouseAcceleration"), "HIDSYSTEM/1 OK 00b00000");
        EXPECT_EQ(successor.stop(SIGTERM), 0);
    }
    {
        // A socket nobody listens on, with no lock file beside it.
        std::string bare = dir.path() + "/bare.sock";
        int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, bare.c_str(), sizeof address.sun_path - 1);
        ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
        close(fd);
        BackgroundProcess successor({bin_path("hidsystemd"), "--socket", bare});
        EXPECT_TRUE(wait_until_answering(bare));
    }
    std::string file = dir.path() + "/notes.txt";
    glissor_test::write_file(file, "keep me");
    auto refused = run_process({bin_path("hidsystemd"), "--socket", file});
    EXPECT_EQ(refused.exit_code, 1);
    EXPECT_EQ(line_count(refused.err), 1u) << refused.err;
    EXPECT_EQ(glissor_test::read_file(file), "keep me");
}

TEST(DaemonLifecycle, BadArgumentsGetTheUsageAndExitTwo) {
    for (std::vector<std::string> arguments :
         {std::vector<std::string>{"--bogus"}, {"--socket"}, {"--refuse", "two words"}, {"--refuse", ""},
          {"--backend", "wayland"}, {"--display", ":0"}, {"stray"}}) {
        arguments.insert(arguments.begin(), bin_path("hidsystemd"));
        auto result = run_process(arguments);
        EXPECT_EQ(result.exit_code, 2) << arguments[1];
        EXPECT_NE(result.err.find("usage: hidsystemd"), std::string::npos) << result.err;
    }
}

TEST(DaemonLifecycle, HelpDescribesEveryOptionOnStdout) {
    auto help = run_process({bin_path("hidsystemd"), "--help"});
    EXPECT_EQ(help.exit_code, 0);
    for (const char *option : {"--socket PATH", "--refuse KEY", "--backend KIND", "--display NAME", "--version"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    auto version = run_process({bin_path("hidsystemd"), "--version"});
    EXPECT_EQ(version.exit_code, 0);
    EXPECT_EQ(version.out.rfind("hidsystemd ", 0), 0u) << version.out;
}

// What a connection from a process of another user gets: 0 served, 1
// refused or dropped, 2 cannot even connect.
int foreign_user_outcome(const std::string &path) {
    pid_t child = fork();
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(3);
        int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        if (connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) _exit(2);
        const char hello[] = "HIDSYSTEM/1 HELLO\n";
        if (send(fd, hello, sizeof hello - 1, MSG_NOSIGNAL) < 0) _exit(1);
        pollfd entry{fd, POLLIN, 0};
        if (poll(&entry, 1, 3000) <= 0) _exit(4);
        char reply[128] = {};
        ssize_t got = recv(fd, reply, sizeof reply - 1, 0);
        _exit(got > 0 && std::strncmp(reply, "HIDSYSTEM/1 OK", 14) == 0 ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(DaemonLifecycle, AnotherUserIsKeptOutByTheModeAndByPeerCredentials) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to run a process as another user";
    EventDaemon daemon;
    std::string directory = daemon.socket_path().substr(0, daemon.socket_path().rfind('/'));
    ASSERT_EQ(chmod(directory.c_str(), 0755), 0);
    EXPECT_EQ(foreign_user_outcome(daemon.socket_path()), 2) << "the socket's mode let another user connect";

    // With the mode opened up, the peer check alone must keep them out.
    ASSERT_EQ(chmod(daemon.socket_path().c_str(), 0666), 0);
    EXPECT_EQ(foreign_user_outcome(daemon.socket_path()), 1);

    RawClient owner(daemon.socket_path());
    EXPECT_EQ(owner.ask("HELLO"), "HIDSYSTEM/1 OK hidsystemd");
}

// The system call a process is blocked in and its arguments, as
// /proc/PID/syscall shows them: empty while it runs, nullopt when the file
// cannot be read.
std::optional<std::vector<unsigned long long>> blocking_call(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/syscall");
    std::vector<unsigned long long> fields;
    std::string field;
    if (!(file >> field)) return std::nullopt;
    do {
        if (field == "running") return fields;
        fields.push_back(std::stoull(field, nullptr, 0));
    } while (file >> field);
    return fields;
}

// The timeout, in milliseconds (-1: none), of the epoll_wait or epoll_pwait
// the process is blocked in; nullopt while it is anywhere else. The fields
// of /proc/PID/syscall are the call's number and then its arguments; the
// timeout is the fourth.
std::optional<int> epoll_timeout(pid_t pid) {
    auto call = blocking_call(pid).value_or(std::vector<unsigned long long>{});
    if (call.size() < 5) return std::nullopt;
#ifdef SYS_epoll_wait
    if (call[0] == SYS_epoll_wait) return static_cast<int>(call[4]);
#endif
    if (call[0] == SYS_epoll_pwait) return static_cast<int>(call[4]);
    return std::nullopt;
}

TEST(DaemonLifecycle, OnceTheLastClientLeavesTheServiceSleepsUntilTheNextOneComes) {
    EventDaemon daemon;
    pid_t pid = daemon.process().pid();
    if (!blocking_call(pid)) GTEST_SKIP() << "/proc/PID/syscall cannot be read here";
    // Calls back to back keep it awake between them for a moment, no more.
    for (int call = 0; call < 50; ++call) {
        RawClient client(daemon.socket_path());
        ASSERT_EQ(client.ask("HELLO"), "HIDSYSTEM/1 OK hidsystemd");
    }
    // Awake, it waits with no time at all; then it goes to sleep.
    std::optional<int> timeout;
    glissor_test::eventually([&] { return (timeout = epoll_timeout(pid)).value_or(0) != 0; });
    ASSERT_TRUE(timeout.has_value()) << "the service never went back to waiting for clients";
    EXPECT_EQ(*timeout, -1) << "a timer left from the client that went away would wake it for nothing";
}

// The client served last is read directly while the service stays awake
// for it; once the service sleeps, it waits on that client too.
TEST(DaemonLifecycle, AClientThatFallsSilentMidConversationIsHeardAfterTheServiceSleeps) {
    EventDaemon daemon;
    pid_t pid = daemon.process().pid();
    if (!blocking_call(pid)) GTEST_SKIP() << "/proc/PID/syscall cannot be read here";
    RawClient client(daemon.socket_path());
    ASSERT_EQ(client.ask("HELLO"), "HIDSYSTEM/1 OK hidsystemd");
    // Asleep, until the client's silence would be too long.
    ASSERT_TRUE(glissor_test::eventually([&] { return epoll_timeout(pid).value_or(0) > 1000; }))
        << "the service never went to sleep with the client connected";
    EXPECT_EQ(client.ask("GET HIDMouseAcceleration"), "HIDSYSTEM/1 OK " + hidsystem_test::hex_of(45056));
}

}  // namespace
