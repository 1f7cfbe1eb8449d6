#include "request_handler.h"

#include <hidsystem/status.h>

#include <algorithm>

namespace hidsystemd {

namespace {

using hidsystem::Line;
using hidsystem::Request;

void reply_outcome(SetOutcome outcome, Line &reply) {
    switch (outcome) {
    case SetOutcome::Accepted:
        hidsystem::encode_ok(reply);
        return;
    case SetOutcome::Refused:
        hidsystem::encode_error(reply, hidsystem::kStatusNotPermitted, "refused");
        return;
    case SetOutcome::WrongSize:
        hidsystem::encode_error(reply, hidsystem::kStatusBadArgument, "wrong-size");
        return;
    case SetOutcome::ReservedKey:
        hidsystem::encode_error(reply, hidsystem::kStatusBadArgument, "reserved-key");
        return;
    case SetOutcome::NoSpace:
        hidsystem::encode_error(reply, hidsystem::kStatusNoSpace, "too-many-parameters");
        return;
    }
}

void handle_hello(Line &reply) { hidsystem::encode_ok(reply, hidsystem::kServiceName); }

void handle_accel(const Request &request, ServiceState &state, Line &reply) {
    SetOutcome outcome = state.parameters.set_legacy_acceleration(request.value);
    if (outcome == SetOutcome::Accepted) state.log.record(hidsystem::kLegacyAccelerationKey, request.value);
    reply_outcome(outcome, reply);
}

void handle_set(const Request &request, ServiceState &state, Line &reply) {
    SetOutcome outcome = state.parameters.set(request.key, request.value);
    if (outcome == SetOutcome::Accepted) {
        state.log.record(request.key, request.value);
        // The backend applies later; the reply never waits for the desktop.
        state.backend.offer(request.key, request.value);
    }
    reply_outcome(outcome, reply);
}

void handle_get(const Request &request, const ServiceState &state, Line &reply) {
    const hidsystem::ParameterBytes *value = state.parameters.get(request.key);
    if (value)
        hidsystem::encode_ok_value(reply, value->bytes());
    else
        hidsystem::encode_error(reply, hidsystem::kStatusNotFound, "not-found");
}

void handle_log(const Request &request, const ServiceState &state, Line &reply) {
    hidsystem::LogEntry entry;
    if (state.log.first_from(request.log_from, entry))
        hidsystem::encode_log_entry(reply, entry);
    else
        hidsystem::encode_log_end(reply);
}

void handle_backend(const Request &request, const ServiceState &state, Line &reply) {
    const BackendStatus &status = state.backend.status();
    if (request.log_from == 0) {
        hidsystem::BackendState described{status.kind, status.state, static_cast<std::uint64_t>(status.pid),
                                          status.received, status.sent, status.applied, status.display,
                                          status.error, status.reason};
        hidsystem::encode_backend_state(reply, described);
        return;
    }
    const auto &devices = status.report.devices;
    if (request.log_from > devices.size()) {
        hidsystem::encode_ok(reply, "END");
        return;
    }
    const hidsystem::ReportedDevice &device = devices[request.log_from - 1];
    hidsystem::BackendDevice described{static_cast<std::uint64_t>(std::max(device.id, 0)), device.device_class,
                                       device.knob, device.value, device.name};
    // Class and knob are single words from the backend; anything else is not sent.
    if (!hidsystem::is_valid_key(described.device_class) || !hidsystem::is_valid_key(described.knob)) {
        described.device_class = "unknown";
        described.knob = "unknown";
    }
    hidsystem::encode_backend_device(reply, described);
}

void reply_parse_error(hidsystem::RequestError error, Line &reply) {
    switch (error) {
    case hidsystem::RequestError::BadVersion:
        hidsystem::encode_error(reply, hidsystem::kStatusUnsupported, "unsupported-version");
        return;
    case hidsystem::RequestError::UnknownVerb:
        hidsystem::encode_error(reply, hidsystem::kStatusUnsupported, "unknown-request");
        return;
    case hidsystem::RequestError::Malformed:
    case hidsystem::RequestError::None:
        hidsystem::encode_error(reply, hidsystem::kStatusBadArgument, "malformed-request");
        return;
    }
}

}  // namespace

void handle_request(std::string_view line, ServiceState &state, Line &reply) {
    Request request;
    hidsystem::RequestError error = hidsystem::parse_request(line, request);
    if (error != hidsystem::RequestError::None) {
        reply_parse_error(error, reply);
        return;
    }
    switch (request.verb) {
    case hidsystem::Verb::Hello: handle_hello(reply); return;
    case hidsystem::Verb::Accel: handle_accel(request, state, reply); return;
    case hidsystem::Verb::Set: handle_set(request, state, reply); return;
    case hidsystem::Verb::Get: handle_get(request, state, reply); return;
    case hidsystem::Verb::Log: handle_log(request, state, reply); return;
    case hidsystem::Verb::Backend: handle_backend(request, state, reply); return;
    }
}

void reply_line_too_long(Line &reply) { hidsystem::encode_error(reply, hidsystem::kStatusBadArgument, "line-too-long"); }

void reply_busy(Line &reply) { hidsystem::encode_error(reply, hidsystem::kStatusBusy, "busy"); }

void reply_not_owner(Line &reply) { hidsystem::encode_error(reply, hidsystem::kStatusNotPrivileged, "not-owner"); }

}  // namespace hidsystemd
