// niri's configuration, as the niri backend reads it and writes a file of
// its own for it to include.
//
// From 25.11 niri reads `include "FILE"` lines at the top level of
// config.kdl, in order: a file's sections override what came before them,
// and the pointer sections (`input { mouse {...} touchpad {...} }`) are
// replaced whole, not merged. So the section Glissor writes carries the
// user's own lines of that section (natural-scroll, tap, ...) beside
// accel-speed and accel-profile, and it takes effect only when the include
// line comes after the user's input section. Glissor never edits
// config.kdl; it reads it, and the files it includes, to learn both.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <Result.h>
#include <hidsystem/pointer_policy.h>

namespace hidsystemd_backend {

inline constexpr const char *kNiriOwnFile = "glissor.kdl";

struct NiriSetting {
    std::string profile;  // "flat", "adaptive"; empty when not given
    double speed = 0;
};

// One pointer section of our file: the user's other lines, copied as they
// are, and the setting.
struct NiriSection {
    std::vector<std::string> lines;
    std::optional<NiriSetting> setting;
};

struct NiriSections {
    std::optional<NiriSection> mouse;
    std::optional<NiriSection> touchpad;

    std::optional<NiriSection> &of(hidsystem::PointerClass kind) {
        return kind == hidsystem::PointerClass::Touchpad ? touchpad : mouse;
    }
};

// What config.kdl, and what it includes, say that matters here.
struct NiriConfigFacts {
    bool includes_ours = false;
    // Pointer sections ("mouse", "touchpad") set after our include line,
    // which override ours.
    std::vector<std::string> set_after_ours;
    // The user's own lines of each section in force where our file is read
    // (at the end of the configuration while it is not included).
    std::vector<std::string> mouse_lines;
    std::vector<std::string> touchpad_lines;

    const std::vector<std::string> &lines_of(hidsystem::PointerClass kind) const {
        return kind == hidsystem::PointerClass::Touchpad ? touchpad_lines : mouse_lines;
    }
};

// A file's text; nullopt when it is missing or cannot be read.
using NiriFileReader = std::function<std::optional<std::string>(const std::string &path)>;

// Reads config_path and the files it includes (relative to the including
// file's folder, at most a few deep, each once). A file that is not KDL
// fails, naming it; a missing config.kdl says nothing.
Result<NiriConfigFacts> read_niri_config(const std::string &config_path, const std::string &our_path,
                                         const NiriFileReader &read);

// Our file: a comment saying whose it is, then the sections given. With
// none it sets nothing, which niri reads as it reads an empty file.
std::string niri_settings_text(const NiriSections &sections);
// Our file read back (the last section of each kind counts, as in niri).
Result<NiriSections> parse_niri_settings(std::string_view text);

// A speed as written in the file: three decimals at most ("0.667", "0.0").
std::string niri_speed(double speed);
// The same, as niri reads it back.
double niri_written_speed(double speed);

}  // namespace hidsystemd_backend
