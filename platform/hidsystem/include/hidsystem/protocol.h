// The event service's line protocol, shared by the daemon, hidctl and the
// IOKit client. Every request is one line and gets one reply line; both
// start with the protocol tag, so a client and a daemon of different
// versions notice at once. Nothing here allocates: lines live in fixed
// buffers and parsed fields are views into the line they came from.
// docs/event-service.md describes the grammar.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace hidsystem {

inline constexpr std::string_view kProtocolTag = "HIDSYSTEM/1";
inline constexpr std::string_view kServiceName = "hidsystemd";

// A line, its LF included, is never longer than this.
inline constexpr std::size_t kMaxLineLength = 1024;
inline constexpr std::size_t kMaxKeyLength = 127;
inline constexpr std::size_t kMaxParameterSize = 256;

// The legacy mouse-acceleration call carries a double; the log and `get`
// name it with this key, which no parameter may use.
inline constexpr std::string_view kLegacyAccelerationKey = "legacy-mouse-acceleration";
inline constexpr std::size_t kLegacyAccelerationSize = sizeof(double);

// What GET gives for an acceleration key no client has set: 0.6875 (45056
// in 16.16 fixed point). It differs from 1.0, so a set of 1.0 always shows.
inline constexpr std::int32_t kDefaultAccelerationFixed = 45056;

// Raw parameter bytes, in the sender's byte order (client and daemon share
// one machine).
struct ParameterBytes {
    std::array<unsigned char, kMaxParameterSize> data{};
    std::size_t size = 0;

    std::span<const unsigned char> bytes() const { return {data.data(), size}; }
    bool assign(std::span<const unsigned char> source);
};

enum class Verb { Hello, Accel, Set, Get, Log, Backend };

struct Request {
    Verb verb = Verb::Hello;
    std::string_view key;        // Set, Get: a view into the parsed line
    ParameterBytes value;        // Accel, Set
    std::uint64_t log_from = 0;  // Log: the first sequence number wanted; Backend: the item
};

enum class RequestError { None, BadVersion, UnknownVerb, Malformed };

// Parses one request line (without its LF).
RequestError parse_request(std::string_view line, Request &request);

// A key is 1 to kMaxKeyLength printable ASCII characters, no spaces.
bool is_valid_key(std::string_view key);

// A line being built in its own fixed buffer. Words are separated by one
// space; a write that does not fit marks the line as overflowed, and an
// overflowed line is never sent.
class Line {
public:
    Line &word(std::string_view text);
    Line &hex(std::span<const unsigned char> bytes);
    Line &number(std::uint64_t value);
    // An IOReturn code as eight hex digits.
    Line &code(std::int32_t value);
    // Seconds and microseconds since the epoch as "S.UUUUUU".
    Line &time(std::int64_t seconds, std::int32_t microseconds);
    // Ends the line with its LF. False when anything did not fit.
    bool finish();

    // The text so far (with the LF once finished).
    std::string_view text() const { return {buffer_.data(), length_}; }
    bool overflowed() const { return overflowed_; }

    // Room for a line read from a socket.
    std::span<char> storage() { return buffer_; }
    void set_length(std::size_t length) { length_ = length; }

private:
    void append(std::string_view text);
    std::array<char, kMaxLineLength> buffer_;  // only the first length_ bytes are ever read
    std::size_t length_ = 0;
    bool overflowed_ = false;
};

// Requests. Each returns false when the request does not fit a line.
bool encode_hello(Line &line);
bool encode_accel(Line &line, double acceleration);
bool encode_set(Line &line, std::string_view key, std::span<const unsigned char> value);
bool encode_get(Line &line, std::string_view key);
bool encode_log(Line &line, std::uint64_t from);
// Item 0 of the backend's description is its state, item N its Nth device.
bool encode_backend(Line &line, std::uint64_t item);

struct Reply {
    bool ok = false;
    std::int32_t code = 0;  // the IOReturn of an ERR reply
    std::string_view rest;  // what follows OK, or the reason after an ERR code
};

// Parses one reply line (without its LF).
std::optional<Reply> parse_reply(std::string_view line);

// Replies.
bool encode_ok(Line &line, std::string_view words = {});
bool encode_ok_value(Line &line, std::span<const unsigned char> value);
bool encode_error(Line &line, std::int32_t code, std::string_view reason);

// One accepted change as the log reply carries it.
struct LogEntry {
    std::uint64_t sequence = 0;
    std::int64_t seconds = 0;
    std::int32_t microseconds = 0;
    std::string_view key;
    ParameterBytes value;
};

bool encode_log_entry(Line &line, const LogEntry &entry);
bool encode_log_end(Line &line);

// Reads the rest of an OK reply to LOG: sets at_end when the log holds
// nothing more, else fills entry. False when the words are not a log reply.
bool parse_log_reply(std::string_view rest, LogEntry &entry, bool &at_end);

// The backend as `BACKEND 0` describes it. Text fields travel as hex, "-"
// when empty, so any text fits a word. REASON, why this backend was chosen,
// came last and later: a reply without it still parses.
struct BackendState {
    std::string_view kind;
    std::string_view state;
    std::uint64_t pid = 0;
    std::uint64_t received = 0;
    std::uint64_t sent = 0;
    std::uint64_t applied = 0;
    std::string display;
    std::string error;
    std::string reason;
};

// One device as `BACKEND N` (N >= 1) describes it.
struct BackendDevice {
    std::uint64_t id = 0;
    std::string_view device_class;
    std::string_view knob;
    std::string value;
    std::string name;
};

bool encode_backend_state(Line &line, const BackendState &state);
bool encode_backend_device(Line &line, const BackendDevice &device);
// An OK reply's rest: sets at_end after the last device; else fills one of
// the two, saying which in is_state. False when it is no backend reply.
bool parse_backend_reply(std::string_view rest, BackendState &state, BackendDevice &device, bool &is_state,
                         bool &at_end);

// Hex text (two digits a byte, either case) into bytes.
bool parse_hex(std::string_view text, ParameterBytes &bytes);

}  // namespace hidsystem
