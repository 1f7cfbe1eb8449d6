#include "hyprland_standin.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <variant>

#include <nlohmann/json.hpp>

namespace hidsystem_test {

namespace {

constexpr std::size_t kReadChunk = 4096;

int listen_on(const std::string &path) {
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 || listen(fd, 16) != 0)
        throw std::runtime_error("the Hyprland stand-in cannot listen on " + path);
    return fd;
}

void send_all(int fd, const std::string &text) {
    [[maybe_unused]] ssize_t sent = send(fd, text.data(), text.size(), MSG_NOSIGNAL);
}

// The part of Lua's table constructors that Hyprland's configuration calls
// take here: names or ["…"] as keys, strings, numbers and tables as values.
struct LuaValue;
using LuaTable = std::map<std::string, LuaValue>;
struct LuaValue {
    std::variant<std::string, double, std::shared_ptr<LuaTable>> value;
};

class LuaReader {
public:
    explicit LuaReader(std::string_view text) : text_(text) {}

    std::optional<LuaTable> table() {
        if (!take('{')) return std::nullopt;
        LuaTable fields;
        while (!take('}')) {
            auto key = name();
            if (!key || !take('=')) return std::nullopt;
            auto field = value();
            if (!field) return std::nullopt;
            fields[*key] = std::move(*field);
            take(',');
        }
        return fields;
    }
    bool take(char c) {
        skip_blanks();
        if (at_ < text_.size() && text_[at_] == c) return ++at_, true;
        return false;
    }
    bool at_end() {
        skip_blanks();
        return at_ == text_.size();
    }

private:
    void skip_blanks() {
        while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_]))) ++at_;
    }
    std::optional<std::string> name() {
        skip_blanks();
        if (take('[')) {
            auto key = string();
            return key && take(']') ? key : std::nullopt;
        }
        std::size_t start = at_;
        while (at_ < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[at_])) || text_[at_] == '_')) ++at_;
        if (at_ == start) return std::nullopt;
        return std::string(text_.substr(start, at_ - start));
    }
    std::optional<LuaValue> value() {
        skip_blanks();
        if (at_ < text_.size() && text_[at_] == '"') {
            auto text = string();
            return text ? std::optional<LuaValue>(LuaValue{*text}) : std::nullopt;
        }
        if (at_ < text_.size() && text_[at_] == '{') {
            auto inner = table();
            return inner ? std::optional<LuaValue>(LuaValue{std::make_shared<LuaTable>(std::move(*inner))}) : std::nullopt;
        }
        std::string rest(text_.substr(at_));
        char *end = nullptr;
        double number = std::strtod(rest.c_str(), &end);
        if (end == rest.c_str()) return std::nullopt;
        at_ += static_cast<std::size_t>(end - rest.c_str());
        return LuaValue{number};
    }
    // "…" with Lua's escapes \\ \" \n \t and \ddd.
    std::optional<std::string> string() {
        skip_blanks();
        if (at_ >= text_.size() || text_[at_] != '"') return std::nullopt;
        std::string text;
        for (++at_; at_ < text_.size(); ++at_) {
            char c = text_[at_];
            if (c == '"') return ++at_, text;
            if (c == '\n') return std::nullopt;
            if (c != '\\') {
                text += c;
                continue;
            }
            if (++at_ >= text_.size()) return std::nullopt;
            char escaped = text_[at_];
            if (std::isdigit(static_cast<unsigned char>(escaped))) {
                int code = 0;
                for (int digits = 0; digits < 3 && at_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[at_]));
                     ++digits, ++at_)
                    code = code * 10 + (text_[at_] - '0');
                --at_;
                if (code > 255) return std::nullopt;
                text += static_cast<char>(code);
            } else {
                text += escaped == 'n' ? '\n' : escaped == 't' ? '\t' : escaped;
            }
        }
        return std::nullopt;
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

const std::string *string_in(const LuaTable &table, const std::string &key) {
    auto found = table.find(key);
    return found != table.end() ? std::get_if<std::string>(&found->second.value) : nullptr;
}

const double *number_in(const LuaTable &table, const std::string &key) {
    auto found = table.find(key);
    return found != table.end() ? std::get_if<double>(&found->second.value) : nullptr;
}

// accel_profile and sensitivity from a table onto an option; false for any
// other field, or one of another type.
bool apply_fields(const LuaTable &fields, HyprOption &option, const std::string &skip) {
    for (const auto &[key, field] : fields) {
        if (key == skip) continue;
        if (key == "accel_profile" && string_in(fields, key))
            option.profile = *string_in(fields, key);
        else if (key == "sensitivity" && number_in(fields, key))
            option.sensitivity = *number_in(fields, key);
        else
            return false;
    }
    return true;
}

}  // namespace

HyprlandStandin::HyprlandStandin(const std::string &runtime_dir, const std::string &signature, Release release,
                                 std::vector<std::string> pointers, HyprOption configured)
    : directory_(runtime_dir + "/hypr/" + signature),
      release_(release),
      pointers_(std::move(pointers)),
      configured_(std::move(configured)),
      options_(configured_) {
    std::filesystem::create_directories(directory_);
    request_listener_ = listen_on(directory_ + "/.socket.sock");
    event_listener_ = listen_on(directory_ + "/.socket2.sock");
    if (pipe(wake_) != 0) throw std::runtime_error("the Hyprland stand-in has no pipe");
    thread_ = std::thread([this] { serve(); });
}

HyprlandStandin::~HyprlandStandin() {
    stop();
    close(wake_[0]);
    close(wake_[1]);
}

void HyprlandStandin::stop() {
    if (!thread_.joinable()) return;
    [[maybe_unused]] ssize_t written = write(wake_[1], "x", 1);
    thread_.join();
    for (int fd : {request_listener_, event_listener_}) close(fd);
    std::filesystem::remove(directory_ + "/.socket.sock");
    std::filesystem::remove(directory_ + "/.socket2.sock");
}

std::vector<std::string> HyprlandStandin::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::vector<std::string> HyprlandStandin::writes() const {
    std::vector<std::string> changes;
    for (const std::string &request : requests())
        if (request.starts_with("keyword ") || request.starts_with("eval ")) changes.push_back(request);
    return changes;
}

HyprOption HyprlandStandin::options() const {
    std::lock_guard lock(mutex_);
    return options_;
}

std::optional<HyprOption> HyprlandStandin::entry(const std::string &device) const {
    std::lock_guard lock(mutex_);
    auto found = entries_.find(device);
    return found != entries_.end() ? std::optional<HyprOption>(found->second) : std::nullopt;
}

HyprOption HyprlandStandin::effective(const std::string &device) const {
    auto own = entry(device);
    return own ? *own : options();
}

void HyprlandStandin::set_options(const HyprOption &value) {
    std::lock_guard lock(mutex_);
    options_ = value;
}

void HyprlandStandin::set_entry(const std::string &device, const HyprOption &value) {
    std::lock_guard lock(mutex_);
    entries_[device] = value;
}

void HyprlandStandin::behave(Behaviour behaviour) {
    behaviour_ = behaviour;
    [[maybe_unused]] ssize_t written = write(wake_[1], "b", 1);
}

void HyprlandStandin::reload() {
    std::unique_lock lock(mutex_);
    ++reloads_wanted_;
    [[maybe_unused]] ssize_t written = write(wake_[1], "r", 1);
    reloaded_.wait(lock, [&] { return reloads_wanted_ == 0; });
}

void HyprlandStandin::apply_reload() {
    std::lock_guard lock(mutex_);
    options_ = configured_;
    entries_.clear();
    for (int fd : subscribers_) send_all(fd, "configreloaded>>\n");
    reloads_wanted_ = 0;
    reloaded_.notify_all();
}

void HyprlandStandin::serve() {
    for (;;) {
        std::vector<pollfd> fds = {{wake_[0], POLLIN, 0}, {request_listener_, POLLIN, 0}, {event_listener_, POLLIN, 0}};
        for (const auto &[fd, bytes] : clients_) fds.push_back({fd, POLLIN, 0});
        if (poll(fds.data(), fds.size(), -1) < 0) continue;
        if (fds[0].revents) {
            char why = 'x';
            [[maybe_unused]] ssize_t got = read(wake_[0], &why, 1);
            if (why == 'x') break;
            if (why == 'r') apply_reload();
            // Stalled connections end when the stall does.
            if (why == 'b' && behaviour_ != Behaviour::Stall) {
                for (int fd : stalled_) close(fd);
                stalled_.clear();
            }
            continue;
        }
        if (fds[1].revents) accept_request();
        if (fds[2].revents) {
            int subscriber = accept4(event_listener_, nullptr, nullptr, SOCK_CLOEXEC);
            std::lock_guard lock(mutex_);
            if (subscriber >= 0) subscribers_.push_back(subscriber);
        }
        for (std::size_t i = 3; i < fds.size(); ++i)
            if (fds[i].revents) read_request(fds[i].fd);
    }
    for (const auto &[fd, bytes] : clients_) close(fd);
    for (int fd : stalled_) close(fd);
    for (int fd : subscribers_) close(fd);
    clients_.clear();
    stalled_.clear();
    subscribers_.clear();
}

void HyprlandStandin::accept_request() {
    int client = accept4(request_listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) return;
    if (behaviour_ == Behaviour::CloseEarly) {
        close(client);
        return;
    }
    clients_[client];
}

// As Hyprland 0.54 does: what arrived in one read that did not fill the
// buffer, or everything up to the end, is the request.
void HyprlandStandin::read_request(int fd) {
    char chunk[kReadChunk];
    ssize_t got = recv(fd, chunk, sizeof chunk, 0);
    std::string &request = clients_[fd];
    if (got > 0) request.append(chunk, static_cast<std::size_t>(got));
    if (got == static_cast<ssize_t>(sizeof chunk)) return;
    std::string whole = std::move(request);
    clients_.erase(fd);
    if (whole.empty()) {
        close(fd);
        return;
    }
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(whole);
    }
    switch (behaviour_.load()) {
    case Behaviour::Stall:
        stalled_.push_back(fd);
        return;
    case Behaviour::Garbage:
        send_all(fd, std::string("\x7f\x01{\"mice\": [{", 13));
        break;
    default:
        send_all(fd, answer(whole));
    }
    close(fd);
}

std::string HyprlandStandin::answer(const std::string &request) {
    std::string command = request;
    auto slash = command.find('/');
    if (slash != std::string::npos && command.find(' ') > slash) command.erase(0, slash + 1);
    std::string verb = command.substr(0, command.find(' '));
    std::string arguments = verb.size() < command.size() ? command.substr(verb.size() + 1) : "";
    if (verb == "version") return version();
    if (verb == "devices") return devices();
    if (verb == "getoption") return get_option(arguments);
    if (verb == "keyword" && release_ == Release::Keyword054) return keyword(arguments);
    if (verb == "eval" && release_ == Release::Lua055) return eval(arguments);
    if (verb == "reload") {
        apply_reload();
        return "ok";
    }
    return "unknown request";
}

std::string HyprlandStandin::version() const {
    bool lua = release_ == Release::Lua055;
    nlohmann::json version = {{"branch", "main"},          {"commit", "0000000"},
                              {"version", lua ? "0.55.0" : "0.54.2"}, {"dirty", false},
                              {"tag", lua ? "v0.55.0" : "v0.54.2"},   {"flags", nlohmann::json::array()}};
    return version.dump(4);
}

std::string HyprlandStandin::devices() const {
    nlohmann::json mice = nlohmann::json::array();
    int address = 1;
    for (const std::string &name : pointers_)
        mice.push_back({{"address", "0x" + std::to_string(address++)}, {"name", name}, {"defaultSpeed", 0.0},
                        {"scrollFactor", -1.0}});
    nlohmann::json all = {{"mice", mice}, {"keyboards", nlohmann::json::array({{{"name", "at-translated-set-2-keyboard"}}})},
                          {"tablets", nlohmann::json::array()}, {"touch", nlohmann::json::array()},
                          {"switches", nlohmann::json::array()}};
    return all.dump(4);
}

std::string HyprlandStandin::get_option(const std::string &name) const {
    std::string key = name;
    if (release_ == Release::Lua055)
        for (char &c : key)
            if (c == ':') c = '.';
    std::string separator = release_ == Release::Lua055 ? "." : ":";
    std::lock_guard lock(mutex_);
    char text[256];
    if (key == "input" + separator + "sensitivity") {
        std::snprintf(text, sizeof text, R"({"option": "%s", "float": %f, "set": false })", name.c_str(),
                      options_.sensitivity);
        return text;
    }
    if (key == "input" + separator + "accel_profile") {
        std::string profile = options_.profile.empty() && release_ == Release::Keyword054 ? "[[EMPTY]]" : options_.profile;
        std::snprintf(text, sizeof text, R"({"option": "%s", "str": "%s", "set": false })", name.c_str(), profile.c_str());
        return text;
    }
    return "no such option";
}

std::string HyprlandStandin::keyword(const std::string &arguments) {
    auto blank = arguments.find(' ');
    if (blank == std::string::npos) return "Invalid input: command and value not properly formatted";
    std::string option = arguments.substr(0, blank);
    std::string value = arguments.substr(blank + 1);
    std::lock_guard lock(mutex_);
    HyprOption *target = &options_;
    if (option.starts_with("device[")) {
        auto close_bracket = option.find(']');
        if (close_bracket == std::string::npos) return "config option <" + option + "> does not exist.";
        std::string device = option.substr(7, close_bracket - 7);
        if (!entries_.contains(device)) entries_[device] = options_;
        target = &entries_[device];
        option = "device" + option.substr(close_bracket + 1);
    } else if (!option.starts_with("input:")) {
        return "config option <" + option + "> does not exist.";
    }
    std::string field = option.substr(option.find(':') + 1);
    if (field == "accel_profile") {
        target->profile = value == "[[EMPTY]]" ? "" : value;
    } else if (field == "sensitivity") {
        try {
            target->sensitivity = std::stod(value);
        } catch (const std::exception &) {
            return "failed parsing a float: stof";
        }
    } else {
        return "config option <" + arguments.substr(0, blank) + "> does not exist.";
    }
    return "ok";
}

std::string HyprlandStandin::eval(const std::string &code) {
    bool config = code.starts_with("hl.config(");
    if (!config && !code.starts_with("hl.device(")) return "error: [string \"" + code + "\"]:1: unexpected symbol";
    LuaReader reader(std::string_view(code).substr(10));
    auto fields = reader.table();
    if (!fields || !reader.take(')') || !reader.at_end()) return "error: [string]:1: syntax error near <eof>";
    std::lock_guard lock(mutex_);
    if (config) {
        auto input = fields->find("input");
        auto *table = input != fields->end() ? std::get_if<std::shared_ptr<LuaTable>>(&input->second.value) : nullptr;
        HyprOption changed = options_;
        if (fields->size() != 1 || !table || !apply_fields(**table, changed, ""))
            return "error: hl.config: unknown config key";
        options_ = changed;
        return "ok";
    }
    const std::string *name = string_in(*fields, "name");
    if (!name) return "error: hl.device: 'name' field is required and must be a string";
    std::string device = *name;
    for (char &c : device)
        if (c == ' ') c = '-';
    HyprOption changed = entries_.contains(device) ? entries_[device] : options_;
    if (!apply_fields(*fields, changed, "name")) return "error: hl.device: unknown field";
    entries_[device] = changed;
    return "ok";
}

}  // namespace hidsystem_test
