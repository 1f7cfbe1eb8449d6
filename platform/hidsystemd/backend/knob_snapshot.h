// What a backend found in a persistent settings store before its first
// write there, and what it wrote since. Kept in memory for the restore at a
// clean end, and in a file (replaced atomically after every write) so that
// a backend started after a crash can put the user's values back.
//
// File rule: a missing file means nothing is owed; a file that cannot be
// read as a whole is treated as missing, so a damaged file never writes
// garbage into the desktop's settings. A FIFO, a link or a huge file at the
// path, or a folder others may write, is reported (error()) and not used.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include <Result.h>

namespace hidsystemd_backend {

struct KnobRecord {
    std::string key;           // a schema id or a device's system name
    std::string device_class;  // "mouse" or "touchpad"
    // Before the first write; nullopt: the user had no value of their own
    // (restore then resets the key to the desktop's default).
    std::optional<std::string> original_profile;
    std::optional<double> original_speed;
    std::string written_profile;
    double written_speed = 0;
    bool operator==(const KnobRecord &) const = default;
};

// True when the setting still holds what was written (so it may be put
// back); speeds compare within a small tolerance, as stores round them.
bool still_written(const KnobRecord &record, const std::string &profile, double speed);

std::string encode_records(const std::vector<KnobRecord> &records);
std::optional<std::vector<KnobRecord>> parse_records(const std::string &text);

class SnapshotKeeper {
public:
    // An empty path keeps the snapshot in memory only.
    explicit SnapshotKeeper(std::string path) : path_(std::move(path)) {}

    // The records a previous run left in the file; empty when none.
    std::vector<KnobRecord> leftovers() const;
    bool remembers(const std::string &key) const { return records_.count(key) != 0; }
    // Keeps the original of a key seen for the first time; later calls for
    // the same key keep the first original.
    void remember(const KnobRecord &record);
    // The value now written; saves the file. False when it cannot be saved.
    bool wrote(const std::string &key, const std::string &profile, double speed);
    const std::map<std::string, KnobRecord> &records() const { return records_; }
    // Everything was put back: forgets it all and removes the file.
    void forget_all();
    // Only these could not be put back (their device was not there): the
    // file keeps them for a later run, everything else is forgotten.
    void keep_only(const std::vector<KnobRecord> &unsettled);
    const std::string &path() const { return path_; }
    const std::string &error() const { return error_; }

private:
    bool save();
    Status usable_folder() const;

    std::string path_;
    std::map<std::string, KnobRecord> records_;
    mutable std::string error_;
};

}  // namespace hidsystemd_backend
