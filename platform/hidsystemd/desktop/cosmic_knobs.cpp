// COSMIC: its compositor reads the pointer settings from its own keys,
// `input_default` (every pointer without a key of its own, so the mice) and
// `input_touchpad`, each a file of one RON struct under
// $XDG_CONFIG_HOME/cosmic/com.system76.CosmicComp/v1/, and watches that
// folder. Its `acceleration` field is `Some((profile: Some(Flat), speed:
// S))`, S being libinput's own speed; when the field is left out the
// compositor leaves libinput's defaults. Only that field is written, in
// place (ron_text.h), and the file replaced whole so the compositor never
// reads half of it. COSMIC writes a key only once the user changed
// something: until then the compositor reads the system's default key
// ($XDG_DATA_DIRS/cosmic/...) or its built-in defaults, and a missing file is
// made from those, as its settings window would. The keys persist across
// logins, hence the snapshot file.
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <FileIO/durable_file.h>
#include <hidsystem/snapshot_path.h>

#include "kconfig_file.h"
#include "knob_snapshot.h"
#include "knobs.h"
#include "ron_text.h"

namespace hidsystemd_backend {

namespace {

constexpr const char *kKeyFolder = "cosmic/com.system76.CosmicComp/v1";
constexpr const char *kField = "acceleration";
// The field COSMIC writes first; acceleration follows it.
constexpr const char *kFieldBefore = "state";
constexpr std::size_t kMaxKeyBytes = 1 << 20;
// The snapshot's original profile when the key had no file at all.
constexpr const char *kNoFile = "(no file)";

struct CosmicKey {
    hidsystem::PointerClass kind;
    const char *name;
    // The compositor's defaults for the key, as its settings window writes
    // them (cosmic-comp-config's CosmicCompConfig::default).
    const char *defaults;
    std::optional<std::int32_t> last_fixed = std::nullopt;
};

constexpr const char *kMouseDefaults = "(\n    state: Enabled,\n)";
constexpr const char *kTouchpadDefaults =
    "(\n"
    "    state: Enabled,\n"
    "    click_method: Some(Clickfinger),\n"
    "    disable_while_typing: Some(true),\n"
    "    tap_config: Some((\n"
    "        enabled: true,\n"
    "        button_map: Some(LeftRightMiddle),\n"
    "        drag: true,\n"
    "        drag_lock: false,\n"
    "    )),\n"
    ")";

// What a key file holds: nothing (no file), or its text.
using KeyText = std::optional<std::string>;

std::string key_folder() { return config_home() + "/" + kKeyFolder; }

// The system's default for a key: the first data folder that has one.
std::optional<std::string> system_default(const std::string &key) {
    const char *variable = std::getenv("XDG_DATA_DIRS");
    std::string dirs = variable && *variable ? variable : "/usr/local/share/:/usr/share/";
    std::istringstream list(dirs);
    for (std::string dir; std::getline(list, dir, ':');) {
        if (dir.empty() || dir[0] != '/') continue;
        auto file = fileio::read_whole_file(dir + "/" + kKeyFolder + "/" + key, kMaxKeyBytes);
        if (file && parse_ron_struct(file->bytes)) return std::move(file->bytes);
    }
    return std::nullopt;
}

std::string description_of(const std::optional<RonAcceleration> &acceleration) {
    return acceleration ? describe_setting(acceleration->profile, acceleration->speed) : "-";
}

class CosmicKnobs final : public Knobs {
public:
    CosmicKnobs() : keeper_(hidsystem::snapshot_path("cosmic")) {}

    Status connect() override {
        mend_leftovers();
        return Status::success();
    }

    void set_speeds(const hidsystem::SpeedPair &speeds) override {
        error_.clear();
        last_write_ = Status::success();
        for (CosmicKey &key : keys_) {
            const auto &fixed = speeds.fixed_for(key.kind);
            if (!fixed || fixed == key.last_fixed) continue;
            auto setting = hidsystem::libinput_for(key.kind, *speeds.speed_for(key.kind));
            if (write_key(key, {profile_name(setting.profile), setting.speed}))
                key.last_fixed = fixed;
            else
                last_write_ = Failure(error_);
        }
    }

    Status last_write() const override { return last_write_; }

    void restore() override {
        std::vector<KnobRecord> unsettled;
        for (const auto &[name, record] : keeper_.records())
            if (!put_back(record)) unsettled.push_back(record);
        keeper_.keep_only(unsettled);
    }

    void describe(hidsystem::BackendReport &report) const override {
        report.state = "connected";
        report.display = key_folder();
        report.error = !error_.empty() ? error_ : keeper_.error();
        int id = 1;
        for (const CosmicKey &key : keys_)
            report.devices.push_back({id++, hidsystem::class_name(key.kind), "cosmic", holds_now(key.name), key.name});
    }

    std::chrono::milliseconds write_interval() const override { return std::chrono::milliseconds(100); }

private:
    const CosmicKey *find_key(const std::string &name) const {
        for (const CosmicKey &key : keys_)
            if (name == key.name) return &key;
        return nullptr;
    }

    static std::string path_of(const std::string &key) { return key_folder() + "/" + key; }

    static std::string defaults_of(const CosmicKey &key) { return system_default(key.name).value_or(key.defaults); }

    // A link, a FIFO or a file too large is not read, and not replaced.
    static Result<KeyText> read_key(const std::string &key) {
        auto file = fileio::read_whole_file(path_of(key), kMaxKeyBytes);
        if (file) return KeyText(std::move(file->bytes));
        if (errno == ENOENT) return KeyText();
        return Failure(key + ": " + file.message() + "; left as it is");
    }

    // The acceleration a key's text holds; a failure for a text that is no
    // struct or a value Glissor does not know.
    static Result<std::optional<RonAcceleration>> acceleration_in(const std::string &key, const std::string &text) {
        auto parsed = parse_ron_struct(text);
        if (!parsed) return Failure(key + " is not RON Glissor can read (" + parsed.message() + "); left as it is");
        const RonField *field = parsed->find(kField);
        if (!field) return std::optional<RonAcceleration>();
        auto acceleration = parse_ron_acceleration(std::string_view(text).substr(
            field->value_begin, field->value_end - field->value_begin));
        if (!acceleration) return Failure(key + ": " + acceleration.message() + "; left as it is");
        return acceleration;
    }

    std::string holds_now(const std::string &key) const {
        auto text = read_key(key);
        if (!text) return "?";
        if (!*text) return "-";
        auto acceleration = acceleration_in(key, **text);
        return acceleration ? description_of(*acceleration) : "?";
    }

    static Status save(const std::string &key, const std::string &text) {
        std::string folder = key_folder();
        if (Status made = fileio::make_directories(folder, 0700); !made) return Failure(folder + ": " + made.message());
        auto written = fileio::write_file_durably(path_of(key), text, 0644);
        if (!written) return Failure(key + ": " + written.message());
        return Status::success();
    }

    static Result<std::string> with_acceleration(const std::string &text, const RonAcceleration &acceleration) {
        return ron_set_field(
            text, kField, [&](const RonLayout &layout) { return format_ron_acceleration(acceleration, layout); },
            kFieldBefore);
    }

    // The snapshot is saved, naming the value about to be written, before
    // the key is: a crash in between leaves a record that put-back skips
    // (the key does not hold that value), never a write with no record.
    bool write_key(const CosmicKey &key, const RonAcceleration &wanted) {
        auto current = read_key(key.name);
        if (!current) return fail(current.message());
        std::string base = *current ? **current : defaults_of(key);
        auto original = acceleration_in(key.name, base);
        if (!original) return fail(original.message());
        auto text = with_acceleration(base, wanted);
        if (!text) return fail(std::string(key.name) + ": " + text.message());
        if (!keeper_.remembers(key.name)) {
            KnobRecord record{key.name, hidsystem::class_name(key.kind), std::nullopt, std::nullopt, wanted.profile,
                              wanted.speed};
            if (!*current) record.original_profile = kNoFile;
            if (*current && *original) {
                record.original_profile = (*original)->profile;
                record.original_speed = (*original)->speed;
            }
            keeper_.remember(record);
        }
        keeper_.wrote(key.name, wanted.profile, wanted.speed);
        if (*current && *text == **current) return true;
        Status saved = save(key.name, *text);
        return saved ? true : fail(saved.message());
    }

    // True when nothing is owed any more: put back, or changed by someone
    // else since (their change stands); false when it could not be done.
    bool put_back(const KnobRecord &record) {
        const CosmicKey *key = find_key(record.key);
        if (!key) return true;
        auto current = read_key(key->name);
        if (!current) return fail(current.message());
        if (!*current) return true;  // the user removed the key
        auto now = acceleration_in(key->name, **current);
        if (!now) return fail(now.message());
        if (!*now || !still_written(record, (*now)->profile, (*now)->speed)) return true;
        auto text = original_text(*key, record, **current);
        if (!text) return fail(text.message());
        if (!*text) {
            if (unlink(path_of(key->name).c_str()) != 0 && errno != ENOENT)
                return fail(std::string(key->name) + ": cannot remove it");
            return true;
        }
        Status saved = save(key->name, **text);
        return saved ? true : fail(saved.message());
    }

    // The key as it was: its old acceleration back, the field removed when
    // it had none, and no file when there was none and nothing else has
    // changed in it since.
    Result<KeyText> original_text(const CosmicKey &key, const KnobRecord &record, const std::string &current) {
        if (record.original_profile == kNoFile) {
            auto created = with_acceleration(defaults_of(key), {record.written_profile, record.written_speed});
            if (created && *created == current) return KeyText();
        }
        if (!record.original_speed || record.original_profile == kNoFile) {
            auto removed = ron_remove_field(current, kField);
            if (!removed) return removed.failure();
            return KeyText(*removed);
        }
        auto restored = with_acceleration(current, {record.original_profile.value_or("none"), *record.original_speed});
        if (!restored) return restored.failure();
        return KeyText(*restored);
    }

    // A run that crashed left its snapshot: put back what still holds its
    // values; what cannot be put back now stays owed.
    void mend_leftovers() {
        std::vector<KnobRecord> unsettled;
        for (const KnobRecord &record : keeper_.leftovers())
            if (!put_back(record)) unsettled.push_back(record);
        keeper_.keep_only(unsettled);
    }

    bool fail(const std::string &why) {
        error_ = why;
        return false;
    }

    Status last_write_;
    std::array<CosmicKey, 2> keys_{{{hidsystem::PointerClass::Mouse, "input_default", kMouseDefaults},
                                    {hidsystem::PointerClass::Touchpad, "input_touchpad", kTouchpadDefaults}}};
    SnapshotKeeper keeper_;
    std::string error_;
};

}  // namespace

const KnobsRegistration kCosmicKnobs("cosmic", [] { return std::unique_ptr<Knobs>(std::make_unique<CosmicKnobs>()); });

}  // namespace hidsystemd_backend
