// niri: it has no request that changes an input setting, and reads them
// from its configuration, which it watches. From 25.11 that configuration
// can include other files, so Glissor writes one of its own, glissor.kdl
// beside config.kdl (niri_config.h), and the user adds one line to
// config.kdl once: `hidctl backend` says which. config.kdl is never
// written. An older niri cannot include files: nothing is written, and the
// report (state "advice") says why and carries the lines to add by hand.
//
// niri's version comes from its IPC socket ($NIRI_SOCKET): one JSON request
// line, one reply line. It is asked again before each write, so a niri that
// went away ends this backend (the service starts another with the next
// value). The file persists across logins: snapshot file. Put-back never
// removes it, since an include of a missing file is an error to niri; it
// rewrites it without the sections that still hold what was written.
#include <gio/gio.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <FileIO/durable_file.h>
#include <hidsystem/snapshot_path.h>

#include "glib_holders.h"
#include "kconfig_file.h"
#include "knob_snapshot.h"
#include "knobs.h"
#include "niri_config.h"
#include "niri_replies.h"

namespace hidsystemd_backend {

namespace {

constexpr std::size_t kMaxReplyBytes = 64 * 1024;
constexpr std::size_t kMaxConfigBytes = 4 << 20;
constexpr int kReplyWaitMs = 2000;

class FdCloser {
public:
    explicit FdCloser(int fd) : fd_(fd) {}
    ~FdCloser() {
        if (fd_ >= 0) close(fd_);
    }
    FdCloser(const FdCloser &) = delete;
    FdCloser &operator=(const FdCloser &) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

Result<std::string> read_reply_line(int fd) {
    std::string reply;
    char buffer[4096];
    while (reply.find('\n') == std::string::npos) {
        pollfd watched{fd, POLLIN, 0};
        int ready = poll(&watched, 1, kReplyWaitMs);
        if (ready == 0) return Failure("niri did not answer within 2 s");
        if (ready < 0 && errno == EINTR) continue;
        ssize_t got = ready < 0 ? -1 : recv(fd, buffer, sizeof buffer, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return Failure(std::strerror(errno));
        if (got == 0) break;
        reply.append(buffer, static_cast<std::size_t>(got));
        if (reply.size() > kMaxReplyBytes) return Failure("niri's reply is longer than " + fileio::size_text(kMaxReplyBytes));
    }
    return reply.substr(0, reply.find('\n'));
}

// One connection, one request, one reply, as niri serves them.
Result<std::string> ask_niri_version(const std::string &socket_path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socket_path.empty() || socket_path.size() >= sizeof address.sun_path)
        return Failure("NIRI_SOCKET is not a socket path");
    std::memcpy(address.sun_path, socket_path.c_str(), socket_path.size() + 1);
    FdCloser fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (fd.get() < 0 || connect(fd.get(), reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
        return Failure(std::strerror(errno));
    std::string_view request = kNiriVersionRequest;
    if (send(fd.get(), request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size()))
        return Failure(std::strerror(errno));
    auto reply = read_reply_line(fd.get());
    if (!reply) return reply.failure();
    return parse_niri_version_reply(*reply);
}

std::optional<std::string> read_text(const std::string &path) {
    auto file = fileio::read_whole_file(path, kMaxConfigBytes);
    if (!file) return std::nullopt;
    return std::move(file->bytes);
}

// "~/.config/niri/config.kdl" for people, when it lies in the home.
std::string shown_path(const std::string &path) {
    const char *home = std::getenv("HOME");
    std::string prefix = home && *home ? std::string(home) + "/" : "";
    if (!prefix.empty() && path.compare(0, prefix.size(), prefix) == 0) return "~/" + path.substr(prefix.size());
    return path;
}

std::string config_path() {
    const char *chosen = std::getenv("NIRI_CONFIG");
    if (chosen && *chosen) return chosen;
    return config_home() + "/niri/config.kdl";
}

std::string record_key(hidsystem::PointerClass kind) {
    return std::string(kNiriOwnFile) + " " + hidsystem::class_name(kind);
}

constexpr std::array<hidsystem::PointerClass, 2> kClasses{hidsystem::PointerClass::Mouse,
                                                          hidsystem::PointerClass::Touchpad};

class NiriKnobs final : public Knobs {
public:
    NiriKnobs()
        : keeper_(hidsystem::snapshot_path("niri")), config_(config_path()),
          own_(std::filesystem::path(config_).parent_path().string() + "/" + kNiriOwnFile) {}
    ~NiriKnobs() override {
        if (monitor_ && changed_handler_) g_signal_handler_disconnect(monitor_.get(), changed_handler_);
    }

    Status connect() override {
        const char *socket_path = std::getenv("NIRI_SOCKET");
        socket_ = socket_path ? socket_path : "";
        if (socket_.empty()) return Failure("NIRI_SOCKET is not set");
        mend_leftovers();
        auto version = ask_niri_version(socket_);
        if (!version) return Failure("niri's socket " + socket_ + ": " + version.message());
        version_ = *version;
        auto release = parse_niri_release(version_);
        release_known_ = release.has_value();
        includes_files_ = release && release->includes_files();
        if (includes_files_) watch_config();
        return Status::success();
    }

    void set_speeds(const hidsystem::SpeedPair &speeds) override {
        if (auto version = ask_niri_version(socket_); !version)
            return lost("niri's socket " + socket_ + ": " + version.message());
        for (hidsystem::PointerClass kind : kClasses) {
            const auto &fixed = speeds.fixed_for(kind);
            if (!fixed) continue;
            auto setting = hidsystem::libinput_for(kind, *speeds.speed_for(kind));
            wanted(kind) = NiriSetting{profile_name(setting.profile), niri_written_speed(setting.speed)};
        }
        last_write_ = Status::success();
        if (!includes_files_)
            last_write_ = Failure(advice_reason());
        else
            write_own_file();
    }

    Status last_write() const override { return last_write_; }

    void restore() override {
        std::vector<KnobRecord> records;
        for (const auto &[key, record] : keeper_.records()) records.push_back(record);
        settle(records);
    }

    void describe(hidsystem::BackendReport &report) const override {
        if (!includes_files_) return describe_advice(report);
        report.state = "connected";
        report.display = own_;
        report.error = !error_.empty() ? error_ : !keeper_.error().empty() ? keeper_.error() : include_advice();
        auto sections = own_sections();
        int id = 1;
        for (hidsystem::PointerClass kind : kClasses) {
            std::string value = "?";
            if (sections) {
                const auto &section = sections->of(kind);
                value = section && section->setting ? describe_setting(section->setting->profile, section->setting->speed) : "-";
            }
            report.devices.push_back(
                {id++, hidsystem::class_name(kind), kNiriOwnFile, value, std::string("input ") + hidsystem::class_name(kind)});
        }
    }

    std::chrono::milliseconds write_interval() const override { return std::chrono::milliseconds(100); }

private:
    std::optional<NiriSetting> &wanted(hidsystem::PointerClass kind) {
        return kind == hidsystem::PointerClass::Touchpad ? wanted_touchpad_ : wanted_mouse_;
    }
    const std::optional<NiriSetting> &wanted(hidsystem::PointerClass kind) const {
        return kind == hidsystem::PointerClass::Touchpad ? wanted_touchpad_ : wanted_mouse_;
    }

    // An older niri: nothing written; `hidctl backend` prints the lines to
    // add by hand, from the row of the table of kinds.
    void describe_advice(hidsystem::BackendReport &report) const {
        report.state = "advice";
        report.display = config_;
        report.error = advice_reason();
    }

    std::string advice_reason() const {
        std::string why = release_known_ ? "niri " + version_.substr(0, version_.find(' ')) + " cannot include files"
                                         : "niri's version is not one Glissor knows";
        return why + ": add the lines `hidctl backend` shows to config.kdl";
    }

    // What config.kdl still lacks for our file to count, in one line.
    std::string include_advice() const {
        if (!facts_) return facts_error_;
        std::string config = shown_path(config_);
        // Never the advice to include a file that is not there yet: niri
        // refuses a configuration that does.
        if (!facts_->includes_ours)
            return access(own_.c_str(), F_OK) == 0 ? "add to " + config + ": include \"" + kNiriOwnFile + "\"" : "";
        if (!facts_->set_after_ours.empty())
            return "move include \"" + std::string(kNiriOwnFile) + "\" to the end of " + config + ": the input " +
                   facts_->set_after_ours.front() + " section after it overrides it";
        return "";
    }

    void refresh_facts() {
        auto facts = read_niri_config(config_, own_, read_text);
        if (facts) {
            facts_ = std::move(*facts);
            facts_error_.clear();
        } else {
            facts_.reset();
            facts_error_ = facts.message() + "; nothing written";
        }
    }

    Result<NiriSections> own_sections() const {
        auto text = read_text(own_);
        if (!text) return NiriSections{};
        return parse_niri_settings(*text);
    }

    // The snapshot is saved, naming what is about to be written, before the
    // file: a crash in between leaves a record put-back skips, never a
    // write with no record.
    void write_own_file() {
        error_.clear();
        refresh_facts();
        if (!facts_) {
            last_write_ = Failure(facts_error_);
            return;
        }
        NiriSections sections;
        for (hidsystem::PointerClass kind : kClasses) {
            const auto &setting = wanted(kind);
            if (!setting) continue;
            sections.of(kind) = NiriSection{facts_->lines_of(kind), setting};
            std::string key = record_key(kind);
            if (!keeper_.remembers(key))
                keeper_.remember({key, hidsystem::class_name(kind), std::nullopt, std::nullopt, setting->profile, setting->speed});
            keeper_.wrote(key, setting->profile, setting->speed);
        }
        if (Status saved = save(niri_settings_text(sections)); !saved) {
            error_ = saved.message();
            last_write_ = saved;
        }
    }

    Status save(const std::string &text) {
        if (read_text(own_) == text) return Status::success();
        std::string folder = std::filesystem::path(own_).parent_path().string();
        if (Status made = fileio::make_directories(folder, 0700); !made) return Failure(folder + ": " + made.message());
        auto written = fileio::write_file_durably(own_, text, 0644);
        if (!written) return Failure(own_ + ": " + written.message());
        return Status::success();
    }

    // Every section that still holds what was written goes; one the user
    // changed since stays as it is. What cannot be settled now (the file
    // unreadable) stays owed in the snapshot.
    void settle(const std::vector<KnobRecord> &records) {
        auto text = read_text(own_);
        if (!text) return keeper_.forget_all();  // nothing of ours is read
        auto sections = parse_niri_settings(*text);
        if (!sections) {
            error_ = std::string(kNiriOwnFile) + ": " + sections.message();
            return keeper_.keep_only(records);
        }
        for (const KnobRecord &record : records) {
            for (hidsystem::PointerClass kind : kClasses) {
                auto &section = sections->of(kind);
                if (record.key != record_key(kind) || !section) continue;
                if (section->setting && still_written(record, section->setting->profile, section->setting->speed))
                    section.reset();
            }
        }
        Status saved = save(niri_settings_text(*sections));
        if (!saved) error_ = saved.message();
        saved ? keeper_.forget_all() : keeper_.keep_only(records);
    }

    void mend_leftovers() {
        auto leftovers = keeper_.leftovers();
        if (!leftovers.empty()) settle(leftovers);
    }

    // config.kdl changes when the user adds the include line or edits the
    // sections copied into our file: both are read again, and the file
    // rewritten when something was written.
    void watch_config() {
        refresh_facts();
        ObjectHolder<GFile> file(g_file_new_for_path(config_.c_str()));
        monitor_.reset(g_file_monitor_file(file.get(), G_FILE_MONITOR_WATCH_MOVES, nullptr, nullptr));
        if (monitor_) changed_handler_ = g_signal_connect(monitor_.get(), "changed", G_CALLBACK(on_config_changed), this);
    }

    static void on_config_changed(GFileMonitor *, GFile *, GFile *, GFileMonitorEvent event, gpointer data) {
        if (event == G_FILE_MONITOR_EVENT_ATTRIBUTE_CHANGED || event == G_FILE_MONITOR_EVENT_CHANGED) return;
        auto *self = static_cast<NiriKnobs *>(data);
        if (self->wanted_mouse_ || self->wanted_touchpad_)
            self->write_own_file();
        else
            self->refresh_facts();
        if (self->on_changed) self->on_changed();
    }

    void lost(const std::string &why) {
        if (on_lost) on_lost(why);
    }

    SnapshotKeeper keeper_;
    std::string config_;
    std::string own_;
    std::string socket_;
    std::string version_;
    bool release_known_ = false;
    bool includes_files_ = false;
    std::optional<NiriSetting> wanted_mouse_;
    std::optional<NiriSetting> wanted_touchpad_;
    std::optional<NiriConfigFacts> facts_;
    std::string facts_error_;
    Status last_write_;
    std::string error_;
    ObjectHolder<GFileMonitor> monitor_;
    gulong changed_handler_ = 0;
};

}  // namespace

const KnobsRegistration kNiriKnobs("niri", [] { return std::unique_ptr<Knobs>(std::make_unique<NiriKnobs>()); });

}  // namespace hidsystemd_backend
