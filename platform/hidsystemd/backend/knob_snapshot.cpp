#include "knob_snapshot.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace hidsystemd_backend {

namespace {

constexpr const char *kHeader = "glissor-pointer-snapshot 1";
constexpr double kSpeedTolerance = 1e-3;

std::string speed_text(double speed) {
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", speed);
    return text;
}

std::optional<double> parse_speed(std::string_view text) {
    double speed = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), speed);
    if (error != std::errc{} || end != text.data() + text.size() || !std::isfinite(speed)) return std::nullopt;
    return speed;
}

bool is_plain_field(const std::string &text) {
    return !text.empty() && text.find_first_of("\t\n") == std::string::npos;
}

std::vector<std::string> split_tabs(const std::string &line) {
    std::vector<std::string> fields;
    std::istringstream stream(line);
    std::string field;
    while (std::getline(stream, field, '\t')) fields.push_back(field);
    return fields;
}

std::optional<KnobRecord> parse_record(const std::string &line) {
    auto fields = split_tabs(line);
    if (fields.size() != 6) return std::nullopt;
    KnobRecord record{fields[0], fields[1], std::nullopt, std::nullopt, fields[4], 0};
    if (fields[2] != "-") record.original_profile = fields[2];
    if (fields[3] != "-") {
        record.original_speed = parse_speed(fields[3]);
        if (!record.original_speed) return std::nullopt;
    }
    auto written = parse_speed(fields[5]);
    if (!written || record.key.empty() || record.written_profile.empty()) return std::nullopt;
    record.written_speed = *written;
    return record;
}

// mkdir -p, private to the user.
bool make_parents(const std::string &path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        std::string directory = path.substr(0, slash);
        if (mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return true;
}

}  // namespace

bool still_written(const KnobRecord &record, const std::string &profile, double speed) {
    return profile == record.written_profile && std::fabs(speed - record.written_speed) < kSpeedTolerance;
}

std::string encode_records(const std::vector<KnobRecord> &records) {
    std::string text = std::string(kHeader) + "\n";
    for (const KnobRecord &record : records) {
        if (!is_plain_field(record.key) || !is_plain_field(record.device_class) ||
            !is_plain_field(record.written_profile) ||
            (record.original_profile && !is_plain_field(*record.original_profile)))
            continue;
        text += record.key + "\t" + record.device_class + "\t" + record.original_profile.value_or("-") + "\t" +
                (record.original_speed ? speed_text(*record.original_speed) : "-") + "\t" + record.written_profile +
                "\t" + speed_text(record.written_speed) + "\n";
    }
    return text;
}

std::optional<std::vector<KnobRecord>> parse_records(const std::string &text) {
    if (text.empty() || text.back() != '\n') return std::nullopt;
    std::istringstream lines(text);
    std::string line;
    if (!std::getline(lines, line) || line != kHeader) return std::nullopt;
    std::vector<KnobRecord> records;
    while (std::getline(lines, line)) {
        auto record = parse_record(line);
        if (!record) return std::nullopt;
        records.push_back(std::move(*record));
    }
    return records;
}

std::vector<KnobRecord> SnapshotKeeper::leftovers() const {
    if (path_.empty()) return {};
    std::ifstream file(path_);
    if (!file) return {};
    std::stringstream text;
    text << file.rdbuf();
    return parse_records(text.str()).value_or(std::vector<KnobRecord>{});
}

void SnapshotKeeper::remember(const KnobRecord &record) { records_.emplace(record.key, record); }

bool SnapshotKeeper::wrote(const std::string &key, const std::string &profile, double speed) {
    auto found = records_.find(key);
    if (found == records_.end()) return false;
    found->second.written_profile = profile;
    found->second.written_speed = speed;
    return save();
}

// A temporary file beside the real one, synced, then renamed over it: the
// file is always either the old snapshot or the new one.
bool SnapshotKeeper::save() {
    if (path_.empty()) return true;
    std::vector<KnobRecord> all;
    for (const auto &[key, record] : records_) all.push_back(record);
    std::string text = encode_records(all);
    std::string temporary = path_ + ".new";
    auto fail = [&](const char *what) {
        error_ = "cannot " + std::string(what) + " the snapshot " + path_ + ": " + std::strerror(errno);
        return false;
    };
    if (!make_parents(path_)) return fail("make the directory of");
    int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return fail("create");
    bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) && fsync(fd) == 0;
    close(fd);
    if (!written || rename(temporary.c_str(), path_.c_str()) != 0) {
        unlink(temporary.c_str());
        return fail("write");
    }
    error_.clear();
    return true;
}

void SnapshotKeeper::keep_only(const std::vector<KnobRecord> &unsettled) {
    if (unsettled.empty()) return forget_all();
    records_.clear();
    for (const KnobRecord &record : unsettled) records_.emplace(record.key, record);
    save();
}

void SnapshotKeeper::forget_all() {
    records_.clear();
    if (!path_.empty()) unlink(path_.c_str());
}

}  // namespace hidsystemd_backend
