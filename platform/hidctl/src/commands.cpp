#include "commands.h"

#include <cstdio>
#include <string>
#include <vector>

#include <hidsystem/backend_kinds.h>
#include <hidsystem/compositor_advice.h>
#include <nlohmann/json.hpp>

#include "service_session.h"
#include "speeds_in_force.h"
#include "value_format.h"

namespace hidctl {

namespace {

using hidsystem::Line;

int print_refusal(std::string_view what, const hidsystem::Reply &reply) {
    std::fprintf(stderr, "hidctl: %.*s: %.*s (0x%08x)\n", static_cast<int>(what.size()), what.data(),
                 static_cast<int>(reply.rest.size()), reply.rest.data(), static_cast<unsigned>(reply.code));
    return 1;
}

}  // namespace

int run_get(const hidsystem::SocketPath &path, std::string_view key) {
    Session session(path);
    if (!session.connected()) return 1;
    Line request, reply;
    hidsystem::encode_get(request, key);
    auto answer = session.ask(request, reply);
    if (!answer) return 1;
    if (!answer->ok) return print_refusal(key, *answer);
    hidsystem::ParameterBytes value;
    if (!hidsystem::parse_hex(answer->rest, value)) {
        std::fprintf(stderr, "hidctl: %.*s: the service sent no value\n", static_cast<int>(key.size()), key.data());
        return 1;
    }
    std::printf("%s\n", format_value(key, value).c_str());
    return 0;
}

int run_log(const hidsystem::SocketPath &path) {
    Session session(path);
    if (!session.connected()) return 1;
    // One entry a round trip, oldest first, until the service has no more.
    for (std::uint64_t next = 0;;) {
        Line request, reply;
        hidsystem::encode_log(request, next);
        auto answer = session.ask(request, reply);
        if (!answer) return 1;
        if (!answer->ok) return print_refusal("log", *answer);
        hidsystem::LogEntry entry;
        bool at_end = false;
        if (!hidsystem::parse_log_reply(answer->rest, entry, at_end)) {
            std::fprintf(stderr, "hidctl: log: the service sent an unknown entry\n");
            return 1;
        }
        if (at_end) return 0;
        std::printf("%lld.%06d %.*s %s\n", static_cast<long long>(entry.seconds), entry.microseconds,
                    static_cast<int>(entry.key.size()), entry.key.data(), format_value(entry.key, entry.value).c_str());
        next = entry.sequence + 1;
    }
}

int run_ping(const hidsystem::SocketPath &path) {
    Session session(path);
    if (!session.connected()) return 1;
    Line request, reply;
    hidsystem::encode_hello(request);
    auto answer = session.ask(request, reply);
    if (!answer) return 1;
    if (!answer->ok) return print_refusal("ping", *answer);
    std::printf("%.*s answers on %s\n", static_cast<int>(answer->rest.size()), answer->rest.data(), path.c_str());
    return 0;
}

namespace {

std::string_view writes_of(std::string_view kind) {
    const hidsystem::BackendKind *row = hidsystem::find_backend_kind(kind);
    return row ? row->writes : std::string_view();
}

// The advice for the kind, when the backend gives advice instead of writing.
const hidsystem::CompositorAdvice *advice_for(std::string_view kind, std::string_view state) {
    const hidsystem::BackendKind *row = hidsystem::find_backend_kind(kind);
    return state == "advice" && row ? row->advice : nullptr;
}

void print_backend_state(const hidsystem::BackendState &state) {
    auto text = [](const std::string &value, const char *empty) { return value.empty() ? empty : value.c_str(); };
    std::printf("backend: %.*s\n", static_cast<int>(state.kind.size()), state.kind.data());
    std::printf("state: %.*s\n", static_cast<int>(state.state.size()), state.state.data());
    if (!state.reason.empty()) std::printf("chosen by: %s\n", state.reason.c_str());
    if (state.kind != "none") {
        std::string_view writes = writes_of(state.kind);
        if (!writes.empty()) std::printf("writes: %.*s\n", static_cast<int>(writes.size()), writes.data());
        std::printf("%s: %s\n", state.kind == "x11" ? "display" : "talks to", text(state.display, "(none)"));
        if (state.pid != 0) std::printf("process: %llu\n", static_cast<unsigned long long>(state.pid));
        std::printf("values: %llu received, %llu sent, %llu applied\n",
                    static_cast<unsigned long long>(state.received), static_cast<unsigned long long>(state.sent),
                    static_cast<unsigned long long>(state.applied));
        std::printf("last error: %s\n", text(state.error, "none"));
    }
}

void print_backend_device(const hidsystem::BackendDevice &device) {
    std::printf("device %llu: %.*s, %.*s, %s, %s\n", static_cast<unsigned long long>(device.id),
                static_cast<int>(device.device_class.size()), device.device_class.data(),
                static_cast<int>(device.knob.size()), device.knob.data(), device.value.c_str(), device.name.c_str());
}

// The same facts for scripts and tests, one JSON object. Text the service
// sent that is not UTF-8 is replaced rather than refused.
nlohmann::json state_json(const hidsystem::BackendState &state) {
    return {{"backend", std::string(state.kind)},
            {"state", std::string(state.state)},
            {"reason", state.reason},
            {"writes", std::string(writes_of(state.kind))},
            {"talks_to", state.display},
            {"pid", state.pid},
            {"received", state.received},
            {"sent", state.sent},
            {"applied", state.applied},
            {"error", state.error},
            {"devices", nlohmann::json::array()}};
}

nlohmann::json device_json(const hidsystem::BackendDevice &device) {
    return {{"id", device.id},
            {"class", std::string(device.device_class)},
            {"knob", std::string(device.knob)},
            {"value", device.value},
            {"name", device.name}};
}

void print_advice(const hidsystem::CompositorAdvice &advice, const std::vector<std::string> &lines) {
    auto where = static_cast<int>(advice.where.size());
    if (lines.empty()) {
        std::printf("no speed set yet: nothing to add to %.*s\n", where, advice.where.data());
        return;
    }
    std::printf("add to %.*s:\n", where, advice.where.data());
    for (const std::string &line : lines) std::printf("    %s\n", line.c_str());
    std::printf("then: %.*s\n", static_cast<int>(advice.then.size()), advice.then.data());
}

nlohmann::json advice_json(const hidsystem::CompositorAdvice &advice, const std::vector<std::string> &lines) {
    return {{"where", std::string(advice.where)}, {"then", std::string(advice.then)}, {"lines", lines}};
}

// The lines for the speeds in force, after the backend's description.
int add_advice(Session &session, const hidsystem::CompositorAdvice &advice, Output output, nlohmann::json &whole) {
    auto speeds = speeds_in_force(session);
    if (!speeds) {
        std::fprintf(stderr, "hidctl: backend: %s\n", speeds.message().c_str());
        return 1;
    }
    std::vector<std::string> lines = advice.lines(*speeds);
    if (output == Output::Json)
        whole["advice"] = advice_json(advice, lines);
    else
        print_advice(advice, lines);
    return 0;
}

}  // namespace

int run_backend(const hidsystem::SocketPath &path, Output output) {
    Session session(path);
    if (!session.connected()) return 1;
    nlohmann::json whole;
    const hidsystem::CompositorAdvice *advice = nullptr;
    // Item 0 is the state, then one device a round trip until END.
    for (std::uint64_t item = 0;; ++item) {
        Line request, reply;
        hidsystem::encode_backend(request, item);
        auto answer = session.ask(request, reply);
        if (!answer) return 1;
        if (!answer->ok) return print_refusal("backend", *answer);
        hidsystem::BackendState state;
        hidsystem::BackendDevice device;
        bool is_state = false, at_end = false;
        if (!hidsystem::parse_backend_reply(answer->rest, state, device, is_state, at_end)) {
            std::fprintf(stderr, "hidctl: backend: the service sent an unknown reply\n");
            return 1;
        }
        if (at_end) break;
        if (is_state) advice = advice_for(state.kind, state.state);
        if (output == Output::Json)
            is_state ? void(whole = state_json(state)) : whole["devices"].push_back(device_json(device));
        else if (is_state)
            print_backend_state(state);
        else
            print_backend_device(device);
    }
    int status = advice ? add_advice(session, *advice, output, whole) : 0;
    if (status == 0 && output == Output::Json)
        std::printf("%s\n", whole.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
    return status;
}

}  // namespace hidctl
