// A throwaway home and system preference directory for one test, so no
// test reads or writes anybody's real settings.
#pragma once

#include <CoreFoundation/CFTesting.h>
#include <CoreFoundation/CoreFoundation.h>
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

namespace glissor_test {

// Sets an environment variable for its lifetime and restores the old value.
class ScopedEnv {
public:
    ScopedEnv(const std::string &name, const std::string &value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

// Makes a fresh directory; removes it, with everything in it, when dropped.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::string &path() const { return path_; }

private:
    std::string path_;
};

// HOME and CFPREFERENCES_SYSTEM_DIR pointed at a fresh directory.
class TempHome {
public:
    TempHome();
    const std::string &home() const { return root_.path(); }
    std::string preferences_dir() const { return home() + "/Library/Preferences"; }
    std::string system_dir() const { return home() + "/system-preferences"; }
    // The same settings, for a child process's environment.
    std::map<std::string, std::string> env() const;

private:
    TempDir root_;
    ScopedEnv home_env_;
    ScopedEnv system_env_;
};

// Fails the test when it ends with more live values than it started with.
class LiveValueTest : public ::testing::Test {
protected:
    // The preference service keeps the files it read between calls; that
    // is no leak, so it is dropped before counting.
    void SetUp() override {
        CFTestingForgetPreferenceCaches();
        live_at_start_ = CFTestingLiveValueCount();
    }
    void TearDown() override { expect_no_leak(); }
    void expect_no_leak() const {
        CFTestingForgetPreferenceCaches();
        EXPECT_EQ(CFTestingLiveValueCount(), live_at_start_) << "values leaked or over-released";
    }

private:
    CFIndex live_at_start_ = 0;
};

// `defaults write` of one float in the pane's domain in the home; the test
// fails when it does not succeed.
void store_pane_float(const TempHome &home, const std::string &key, const std::string &value);

// Reads and writes whole files.
std::string read_file(const std::string &path);
void write_file(const std::string &path, const std::string &content);
bool file_exists(const std::string &path);

}  // namespace glissor_test
