#include "niri_config.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "kdl_text.h"

namespace hidsystemd_backend {

namespace {

// niri stops at include cycles; deeper chains than this are not followed.
constexpr int kMaxIncludeDepth = 8;

constexpr const char *kSpeedNode = "accel-speed";
constexpr const char *kProfileNode = "accel-profile";

std::string folder_of(const std::string &path) { return std::filesystem::path(path).parent_path().string(); }

std::string normal_path(const std::string &path) { return std::filesystem::path(path).lexically_normal().string(); }

std::string resolve(const std::string &including_file, const std::string &target) {
    if (!target.empty() && target.front() == '/') return normal_path(target);
    return normal_path(folder_of(including_file) + "/" + target);
}

std::string node_text(std::string_view text, const KdlNode &node) {
    return std::string(text.substr(node.begin, node.end - node.begin));
}

bool is_pointer_section(const std::string &name) { return name == "mouse" || name == "touchpad"; }

std::optional<double> parse_speed(const std::string &text) {
    double value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

// A pointer section of any file: its other lines and its setting.
Result<NiriSection> read_section(std::string_view text, const KdlNode &section) {
    auto children = kdl_children(text, section);
    if (!children) return children.failure();
    NiriSection read;
    std::optional<double> speed;
    std::string profile;
    for (const KdlNode &child : *children) {
        if (child.name == kSpeedNode) {
            speed = child.arguments.empty() ? std::nullopt : parse_speed(child.arguments.front());
        } else if (child.name == kProfileNode) {
            profile = child.arguments.empty() ? "" : child.arguments.front();
        } else {
            read.lines.push_back(node_text(text, child));
        }
    }
    if (speed) read.setting = NiriSetting{profile, *speed};
    return read;
}

std::string file_name(const std::string &path) { return std::filesystem::path(path).filename().string(); }

class ConfigWalk {
public:
    ConfigWalk(std::string our_path, const NiriFileReader &read) : our_path_(normal_path(our_path)), read_(read) {}

    Status walk(const std::string &path, int depth) {
        if (depth > kMaxIncludeDepth) return Status::success();
        for (const std::string &open : stack_)
            if (open == path) return Status::success();
        auto text = read_(path);
        if (!text) return Status::success();  // niri says what is missing
        auto nodes = parse_kdl_document(*text);
        if (!nodes) return Failure(file_name(path) + " is not KDL Glissor can read (" + nodes.message() + ")");
        stack_.push_back(path);
        for (const KdlNode &node : *nodes) {
            Status read = node.name == "include" ? include(path, node, depth) : node.name == "input" ? input(*text, node) : Status::success();
            if (!read) return Failure(file_name(path) + ": " + read.message());
        }
        stack_.pop_back();
        return Status::success();
    }

    NiriConfigFacts facts() const {
        NiriConfigFacts facts = facts_;
        if (!facts.includes_ours) {
            facts.mouse_lines = mouse_;
            facts.touchpad_lines = touchpad_;
        }
        return facts;
    }

private:
    Status include(const std::string &path, const KdlNode &node, int depth) {
        if (node.arguments.empty()) return Status::success();
        std::string target = resolve(path, node.arguments.front());
        if (target != our_path_) return walk(target, depth + 1);
        if (!facts_.includes_ours) {
            facts_.includes_ours = true;
            facts_.mouse_lines = mouse_;
            facts_.touchpad_lines = touchpad_;
        }
        return Status::success();
    }

    Status input(std::string_view text, const KdlNode &node) {
        auto children = kdl_children(text, node);
        if (!children) return children.failure();
        for (const KdlNode &child : *children) {
            if (!is_pointer_section(child.name)) continue;
            auto section = read_section(text, child);
            if (!section) return section.failure();
            if (facts_.includes_ours)
                facts_.set_after_ours.push_back(child.name);
            else
                (child.name == "mouse" ? mouse_ : touchpad_) = section->lines;
        }
        return Status::success();
    }

    std::string our_path_;
    const NiriFileReader &read_;
    std::vector<std::string> stack_;
    NiriConfigFacts facts_;
    std::vector<std::string> mouse_, touchpad_;
};

void append_section(std::string &text, const char *name, const std::optional<NiriSection> &section) {
    if (!section) return;
    text += std::string("    ") + name + " {\n";
    for (const std::string &line : section->lines) text += "        " + line + "\n";
    if (section->setting) {
        text += "        " + std::string(kSpeedNode) + " " + niri_speed(section->setting->speed) + "\n";
        if (!section->setting->profile.empty())
            text += "        " + std::string(kProfileNode) + " " + kdl_quoted(section->setting->profile) + "\n";
    }
    text += "    }\n";
}

}  // namespace

Result<NiriConfigFacts> read_niri_config(const std::string &config_path, const std::string &our_path,
                                         const NiriFileReader &read) {
    ConfigWalk walk(our_path, read);
    if (Status walked = walk.walk(normal_path(config_path), 0); !walked) return walked.failure();
    return walk.facts();
}

std::string niri_settings_text(const NiriSections &sections) {
    std::string text =
        "// Pointer speeds from Glissor, read by niri through the line\n"
        "// include \"glissor.kdl\" in config.kdl. The event service rewrites this\n"
        "// file while it runs and empties it when it ends.\n";
    if (!sections.mouse && !sections.touchpad) return text;
    text += "input {\n";
    append_section(text, "mouse", sections.mouse);
    append_section(text, "touchpad", sections.touchpad);
    return text + "}\n";
}

Result<NiriSections> parse_niri_settings(std::string_view text) {
    auto nodes = parse_kdl_document(text);
    if (!nodes) return nodes.failure();
    NiriSections sections;
    for (const KdlNode &node : *nodes) {
        if (node.name != "input") continue;
        auto children = kdl_children(text, node);
        if (!children) return children.failure();
        for (const KdlNode &child : *children) {
            if (!is_pointer_section(child.name)) continue;
            auto section = read_section(text, child);
            if (!section) return section.failure();
            (child.name == "mouse" ? sections.mouse : sections.touchpad) = std::move(*section);
        }
    }
    return sections;
}

std::string niri_speed(double speed) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", speed);
    std::string number = text;
    while (number.size() > 1 && number.back() == '0' && number[number.size() - 2] != '.') number.pop_back();
    return number == "-0.0" ? "0.0" : number;
}

double niri_written_speed(double speed) { return parse_speed(niri_speed(speed)).value_or(speed); }

}  // namespace hidsystemd_backend
