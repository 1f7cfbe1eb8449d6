#include <hidsystem/backend_channel.h>

#include <charconv>

namespace hidsystem {

namespace {

std::string clean_field(std::string_view text) {
    std::string field(text.substr(0, kMaxReportField));
    for (char &c : field)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    return field;
}

template <typename Number>
std::optional<Number> parse_number(std::string_view text) {
    Number value{};
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

void append_speed(std::string &text, const std::optional<std::int32_t> &speed) {
    text += ' ';
    text += speed ? std::to_string(*speed) : "-";
}

bool parse_speed(std::string_view word, std::optional<std::int32_t> &speed) {
    if (word == "-") {
        speed.reset();
        return true;
    }
    speed = parse_number<std::int32_t>(word);
    return speed.has_value();
}

// Splits on a separator; the last piece runs to the end.
std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> pieces;
    for (;;) {
        std::size_t at = text.find(separator);
        pieces.push_back(text.substr(0, at));
        if (at == std::string_view::npos) return pieces;
        text.remove_prefix(at + 1);
    }
}

std::optional<ReportedDevice> parse_device(std::string_view line) {
    auto fields = split(line, '\t');
    if (fields.size() != 5) return std::nullopt;
    auto id = parse_number<int>(fields[0]);
    if (!id) return std::nullopt;
    return ReportedDevice{*id, std::string(fields[1]), std::string(fields[2]), std::string(fields[3]),
                          std::string(fields[4])};
}

// "SEQ" or "SEQ DONE", DONE later than SEQ: one way to write each report.
bool parse_sequences(std::string_view text, BackendReport &report) {
    auto words = split(text, ' ');
    if (words.size() > 2) return false;
    auto applied = parse_number<std::uint64_t>(words[0]);
    if (!applied) return false;
    report.applied_sequence = *applied;
    if (words.size() == 1) return true;
    auto done = parse_number<std::uint64_t>(words[1]);
    if (!done || *done <= *applied) return false;
    report.done_sequence = *done;
    return true;
}

}  // namespace

std::string encode_apply(const ApplyMessage &message) {
    std::string text = "APPLY " + std::to_string(message.sequence);
    append_speed(text, message.speeds.mouse);
    append_speed(text, message.speeds.trackpad);
    return text;
}

std::optional<ApplyMessage> parse_apply(std::string_view text) {
    auto words = split(text, ' ');
    if (words.size() != 4 || words[0] != "APPLY") return std::nullopt;
    ApplyMessage message;
    auto sequence = parse_number<std::uint64_t>(words[1]);
    if (!sequence || !parse_speed(words[2], message.speeds.mouse) || !parse_speed(words[3], message.speeds.trackpad))
        return std::nullopt;
    message.sequence = *sequence;
    return message;
}

std::string encode_report(const BackendReport &report) {
    std::string text = "REPORT " + std::to_string(report.applied_sequence);
    if (report.last_done() > report.applied_sequence) text += " " + std::to_string(report.last_done());
    text += "\n";
    text += clean_field(report.state) + "\n" + clean_field(report.display) + "\n" + clean_field(report.error) + "\n";
    std::size_t count = 0;
    for (const ReportedDevice &device : report.devices) {
        if (++count > kMaxReportedDevices) break;
        std::string line = std::to_string(device.id) + "\t" + clean_field(device.device_class) + "\t" +
                           clean_field(device.knob) + "\t" + clean_field(device.value) + "\t" +
                           clean_field(device.name) + "\n";
        if (text.size() + line.size() > kMaxChannelMessage) break;
        text += line;
    }
    return text;
}

std::optional<BackendReport> parse_report(std::string_view text) {
    if (text.size() > kMaxChannelMessage || text.empty() || text.back() != '\n') return std::nullopt;
    text.remove_suffix(1);
    auto lines = split(text, '\n');
    if (lines.size() < 4 || !lines[0].starts_with("REPORT ")) return std::nullopt;
    BackendReport report;
    if (!parse_sequences(lines[0].substr(7), report)) return std::nullopt;
    report.state = lines[1];
    report.display = lines[2];
    report.error = lines[3];
    for (std::size_t i = 4; i < lines.size() && report.devices.size() < kMaxReportedDevices; ++i) {
        auto device = parse_device(lines[i]);
        if (!device) return std::nullopt;
        report.devices.push_back(std::move(*device));
    }
    return report;
}

}  // namespace hidsystem
