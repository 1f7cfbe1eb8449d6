#include "knob_snapshot.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>

#include <FileIO/durable_file.h>

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

// A snapshot is a few lines; anything much larger is not one of ours.
constexpr std::size_t kMaxSnapshotBytes = 1 << 20;

std::vector<KnobRecord> SnapshotKeeper::leftovers() const {
    if (path_.empty()) return {};
    if (Status folder = usable_folder(); !folder) {
        error_ = folder.message();
        return {};
    }
    // Not following a link, not blocking on a FIFO, not reading a huge
    // file whole: a file that is not plainly ours is reported and ignored.
    auto file = fileio::read_whole_file(path_, kMaxSnapshotBytes);
    if (!file) {
        if (errno != ENOENT) error_ = "the snapshot " + path_ + " was not read: " + file.message();
        return {};
    }
    return parse_records(file->bytes).value_or(std::vector<KnobRecord>{});
}

// The folder must be the user's alone: in a folder others may write, any
// of them could plant or replace the snapshot and so choose what is "put
// back" into the user's settings.
Status SnapshotKeeper::usable_folder() const {
    std::string folder = path_.substr(0, path_.rfind('/'));
    if (Status made = fileio::make_directories(folder, 0700); !made)
        return Failure("cannot make the folder " + folder + ": " + made.message());
    if (Status owned = fileio::require_owned_folder(folder); !owned)
        return Failure("the snapshot folder " + folder + ": " + owned.message());
    struct stat status {};
    if (stat(folder.c_str(), &status) != 0 || (status.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return Failure("the snapshot folder " + folder + " may be written by others: not used");
    return Status::success();
}

void SnapshotKeeper::remember(const KnobRecord &record) { records_.emplace(record.key, record); }

bool SnapshotKeeper::wrote(const std::string &key, const std::string &profile, double speed) {
    auto found = records_.find(key);
    if (found == records_.end()) return false;
    found->second.written_profile = profile;
    found->second.written_speed = speed;
    return save();
}

// Replaced whole and durably, so the file is always either the old
// snapshot or the new one.
bool SnapshotKeeper::save() {
    if (path_.empty()) return true;
    std::vector<KnobRecord> all;
    for (const auto &[key, record] : records_) all.push_back(record);
    Status folder = usable_folder();
    fileio::WriteOptions options;
    options.folder = fileio::Folder::OwnedByMe;
    auto written = folder ? fileio::write_file_durably(path_, encode_records(all), 0600, options)
                          : Result<struct stat>(folder.failure());
    if (!written) {
        error_ = folder ? "cannot write the snapshot " + path_ + ": " + written.message() : folder.message();
        return false;
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
