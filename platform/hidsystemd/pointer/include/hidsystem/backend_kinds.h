// The table of backend kinds: every desktop the event service can drive,
// one row each. `--backend NAME`, `--backend auto`, the service's
// supervisor (which program to start, whether a crash leaves anything to
// mend), `hidctl backend` and the README's table of desktops all read it.
// Adding a desktop is one row here, one knobs file in the backend program
// that registers the same name, and its tests.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include <hidsystem/session_facts.h>

namespace hidsystem {

struct CompositorAdvice;  // hidsystem/compositor_advice.h

// Which program runs a kind: none, the X11 backend, or the desktop backend
// (GLib: settings stores, the session bus, compositor sockets).
enum class BackendProgram { None, X11, Desktop };

struct BackendKind {
    std::string_view name;
    BackendProgram program = BackendProgram::None;
    // What it writes outlives the session (a settings store), so the
    // user's values are also kept in a snapshot file to mend a crash.
    bool persistent = false;
    // Why `--backend auto` picks this kind in this session; nullopt when
    // it does not. The first row that answers wins.
    std::optional<std::string> (*recognize)(const SessionFacts &facts) = nullptr;
    // What it talks to until the backend says so itself: the value of
    // this variable, after the label.
    std::string_view talks_to_label;
    std::string_view talks_to_variable;
    // For people: the desktops it serves, what it writes, how long that
    // lasts and how to undo it by hand.
    std::string_view desktops;
    std::string_view writes;
    std::string_view lasts;
    std::string_view undo;
    // For a compositor read only from the user's own file, which Glissor
    // never edits: the lines to add there (`hidctl backend` prints them).
    const CompositorAdvice *advice = nullptr;
};

// Every kind, in the order `auto` tries them; "none" is last and always
// answers, saying why nothing else did.
std::span<const BackendKind> backend_kinds();
// nullptr for a name that is no kind.
const BackendKind *find_backend_kind(std::string_view name);
const BackendKind &no_backend();
// "none, x11, gnome, ..." for usage messages.
std::string backend_kind_names();

struct BackendChoice {
    const BackendKind *kind = nullptr;
    std::string reason;
};

// The rule of `--backend auto`: the first row that recognises the session.
BackendChoice choose_backend(const SessionFacts &facts);

}  // namespace hidsystem
