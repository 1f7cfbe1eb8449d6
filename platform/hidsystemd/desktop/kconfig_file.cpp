#include "kconfig_file.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cerrno>
#include <cstdlib>
#include <sstream>

#include <FileIO/durable_file.h>

namespace hidsystemd_backend {

namespace {

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

bool is_header(std::string_view line) {
    line = trimmed(line);
    return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}

// The key of a `Key=Value` line, or nullopt for anything else.
std::optional<std::string_view> key_of(std::string_view line) {
    std::string_view content = trimmed(line);
    if (content.empty() || content.front() == '#' || content.front() == '[') return std::nullopt;
    std::size_t equals = content.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    return trimmed(content.substr(0, equals));
}

}  // namespace

KConfigText::KConfigText(std::string text) {
    ends_with_newline_ = text.empty() || text.back() == '\n';
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines_.push_back(line);
}

std::vector<std::size_t> KConfigText::group_headers(std::string_view group) const {
    std::string header = "[" + std::string(group) + "]";
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i < lines_.size(); ++i)
        if (trimmed(lines_[i]) == header) found.push_back(i);
    return found;
}

std::size_t KConfigText::group_end(std::size_t header) const {
    std::size_t end = header + 1;
    while (end < lines_.size() && !is_header(lines_[end])) ++end;
    return end;
}

std::vector<std::size_t> KConfigText::key_lines(std::string_view group, std::string_view key) const {
    std::vector<std::size_t> found;
    for (std::size_t header : group_headers(group))
        for (std::size_t i = header + 1; i < group_end(header); ++i)
            if (key_of(lines_[i]) == key) found.push_back(i);
    return found;
}

std::optional<std::string> KConfigText::value(std::string_view group, std::string_view key) const {
    auto lines = key_lines(group, key);
    if (lines.empty()) return std::nullopt;
    std::string_view text = lines_[lines.back()];
    return std::string(trimmed(text.substr(text.find('=') + 1)));
}

void KConfigText::set(std::string_view group, std::string_view key, std::string_view value) {
    std::string line = std::string(key) + "=" + std::string(value);
    if (auto existing = key_lines(group, key); !existing.empty()) {
        lines_[existing.back()] = line;
        existing.pop_back();
        for (auto at = existing.rbegin(); at != existing.rend(); ++at)
            lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*at));
        return;
    }
    auto headers = group_headers(group);
    if (headers.empty()) {
        if (!lines_.empty() && !trimmed(lines_.back()).empty()) lines_.emplace_back();
        lines_.push_back("[" + std::string(group) + "]");
        lines_.push_back(line);
        return;
    }
    // After the group's last key, before the blank lines that part groups.
    std::size_t header = headers.back();
    std::size_t at = group_end(header);
    while (at > header + 1 && trimmed(lines_[at - 1]).empty()) --at;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), line);
}

void KConfigText::remove(std::string_view group, std::string_view key) {
    auto existing = key_lines(group, key);
    for (auto at = existing.rbegin(); at != existing.rend(); ++at)
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*at));
}

std::string KConfigText::text() const {
    std::string text;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        text += lines_[i];
        if (i + 1 < lines_.size() || ends_with_newline_) text += '\n';
    }
    return text;
}

std::string config_home() {
    const char *config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') return config;
    const char *home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.config";
}

namespace {

constexpr std::size_t kMaxConfigBytes = 4 << 20;

}  // namespace

Result<KConfigText> load_config_text(const std::string &path) {
    auto file = fileio::read_whole_file(path, kMaxConfigBytes);
    if (file) return KConfigText(std::move(file->bytes));
    if (errno == ENOENT) return KConfigText("");
    return Failure(path + ": " + file.message());
}

Status save_config_text(const std::string &path, const KConfigText &text) {
    std::string folder = path.substr(0, path.rfind('/'));
    if (Status made = fileio::make_directories(folder, 0700); !made) return Failure(folder + ": " + made.message());
    auto written = fileio::write_file_durably(path, text.text(), 0600);
    if (!written) return Failure(path + ": " + written.message());
    return Status::success();
}

std::string kconfig_number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    std::string result = text;
    while (result.back() == '0') result.pop_back();
    if (result.back() == '.') result.pop_back();
    return result == "-0" ? "0" : result;
}

std::optional<double> kconfig_double(const std::optional<std::string> &text) {
    if (!text) return std::nullopt;
    double value = 0;
    auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
    if (error != std::errc{} || end != text->data() + text->size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

}  // namespace hidsystemd_backend
