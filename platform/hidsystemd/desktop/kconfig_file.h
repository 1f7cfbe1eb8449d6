// A KDE configuration file (KConfig's INI dialect) edited in place: only
// the keys set change, every other line (groups, keys, comments, lines it
// does not understand) is kept as it was, byte for byte. Groups are
// `[Name]` lines; keys `Key=Value`; a key's localized or flagged forms
// (`Key[de]=`, `Key[$i]=`) are other keys and left alone. As KConfig reads
// it, a group named twice is one group and the last line of a key wins, so
// a key is read from its last line and set there, its earlier lines going.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <Result.h>

namespace hidsystemd_backend {

class KConfigText {
public:
    explicit KConfigText(std::string text);

    std::optional<std::string> value(std::string_view group, std::string_view key) const;
    // Sets the key, adding it at the end of its group, and the group at the
    // end of the file, when missing.
    void set(std::string_view group, std::string_view key, std::string_view value);
    // Removes the key; a group left empty stays (KConfig does the same).
    void remove(std::string_view group, std::string_view key);
    std::string text() const;

private:
    // The header lines of the group, first to last.
    std::vector<std::size_t> group_headers(std::string_view group) const;
    // Every line of the key in the group, first to last.
    std::vector<std::size_t> key_lines(std::string_view group, std::string_view key) const;
    std::size_t group_end(std::size_t header) const;

    std::vector<std::string> lines_;
    bool ends_with_newline_ = true;
};

// $XDG_CONFIG_HOME, else $HOME/.config.
std::string config_home();

// The file at path; a missing one reads as empty. A file that is not a
// plain regular one (a FIFO, a link, too large) fails and is left alone.
Result<KConfigText> load_config_text(const std::string &path);
// Replaces the file durably, making its folder when missing.
Status save_config_text(const std::string &path, const KConfigText &text);

// "0.667" for a double as KConfig writes one; "true"/"false".
std::string kconfig_number(double value);
std::optional<double> kconfig_double(const std::optional<std::string> &text);

}  // namespace hidsystemd_backend
