#include "temp_home.h"

#include "process.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace glissor_test {

ScopedEnv::ScopedEnv(const std::string &name, const std::string &value) : name_(name) {
    if (const char *old = getenv(name.c_str())) old_ = old;
    setenv(name.c_str(), value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
    if (old_)
        setenv(name_.c_str(), old_->c_str(), 1);
    else
        unsetenv(name_.c_str());
}

TempDir::TempDir() {
    const char *base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/glissor-test-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) throw std::runtime_error("mkdtemp failed");
    path_ = buffer.data();
}

TempDir::~TempDir() {
    std::error_code ignored;
    // Restore permissions a test may have taken away, so removal succeeds.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->is_directory(ignored)) chmod(it->path().c_str(), 0700);
    }
    chmod(path_.c_str(), 0700);
    std::filesystem::remove_all(path_, ignored);
}

TempHome::TempHome()
    : home_env_("HOME", root_.path()),
      system_env_("CFPREFERENCES_SYSTEM_DIR", root_.path() + "/system-preferences") {}

std::map<std::string, std::string> TempHome::env() const {
    return {{"HOME", home()}, {"CFPREFERENCES_SYSTEM_DIR", system_dir()}};
}

std::string read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

void write_file(const std::string &path, const std::string &content) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

bool file_exists(const std::string &path) { return std::filesystem::exists(path); }

void store_pane_float(const TempHome &home, const std::string &key, const std::string &value) {
    auto result = run_process({bin_path("defaults"), "write", GLISSOR_PANE_IDENTIFIER_FOR_TESTS, key, "-float", value},
                              {.env = home.env()});
    ASSERT_EQ(result.exit_code, 0) << result.err;
}

}  // namespace glissor_test
