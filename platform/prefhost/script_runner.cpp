#include "script_runner.h"

#include <charconv>
#include <cmath>
#include <sstream>

#include "control_text.h"
#include "pane_snapshot.h"
#include "quit_signals.h"

namespace {

std::vector<std::string> wordsOf(const std::string &line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

Status wrongArguments(const std::string &command, const char *wanted) {
    return Failure(command + " takes " + wanted);
}

// A finite decimal number and nothing else.
bool parseValue(const std::string &text, double *value) {
    const char *begin = text.c_str();
    const char *end = begin + text.size();
    if (begin != end && *begin == '+') ++begin;
    auto result = std::from_chars(begin, end, *value, std::chars_format::general);
    return result.ec == std::errc() && result.ptr == end && std::isfinite(*value);
}

}  // namespace

Status ScriptRunner::run(std::istream &script) {
    QuitSignals quit;
    int number = 0;
    for (std::string line; !QuitSignals::requested() && std::getline(script, line);) {
        ++number;
        std::vector<std::string> words = wordsOf(line);
        if (words.empty() || words[0][0] == '#') continue;
        Status status = runCommand(words);
        out_.flush();
        if (!status.ok())
            return Failure(scriptName_ + ":" + std::to_string(number) + ": " + status.message());
    }
    // Told to quit: the rest of the script is dropped and the pane left.
    if (QuitSignals::requested() && session_.isShown()) return session_.leave();
    return Status::success();
}

Status ScriptRunner::runCommand(const std::vector<std::string> &words) {
    const std::string &command = words[0];
    if (command == "set") return set(words);
    if (command == "click") return click(words);
    if (command == "get") return get(words);
    if (command == "show") return show(words);
    if (command == "snapshot") return snapshot(words);
    if (command == "leave" || command == "reload") return lifecycle(words);
    return Failure("unknown command '" + command + "'");
}

Status ScriptRunner::requireShown(const std::string &command) const {
    if (session_.isShown()) return Status::success();
    return Failure(command + ": the pane is not shown (it was left; reload shows it again)");
}

Result<NSObject *> ScriptRunner::control(const std::string &name) const {
    NSObject *object = session_.objectNamed(name);
    if (!object) return Failure("no control named '" + name + "'");
    return object;
}

// What set and click act on: a control of the shown pane, of their kind.
Result<NSObject *> ScriptRunner::shownControlOfKind(const std::string &command, const std::string &name,
                                                    Class kind, const char *kindName) const {
    if (Status shown = requireShown(command); !shown) return shown.failure();
    Result<NSObject *> object = control(name);
    if (object && !(*object)->isKindOfClass(kind))
        return Failure(command + ": '" + name + "' is an " + (*object)->getClass()->name() + ", not a " + kindName);
    return object;
}

Status ScriptRunner::set(const std::vector<std::string> &words) {
    if (words.size() != 3) return wrongArguments("set", "a control name and a value");
    Result<NSObject *> slider = shownControlOfKind("set", words[1], NSSlider::staticClass(), "slider");
    if (!slider) return slider.failure();
    double value = 0;
    if (!parseValue(words[2], &value))
        return Failure("set: bad value '" + words[2] + "' (a finite number is needed)");
    session_.dragSlider(static_cast<NSSlider *>(*slider), value);
    return Status::success();
}

Status ScriptRunner::click(const std::vector<std::string> &words) {
    if (words.size() != 2) return wrongArguments("click", "a control name");
    Result<NSObject *> button = shownControlOfKind("click", words[1], NSButton::staticClass(), "button");
    if (!button) return button.failure();
    session_.click(static_cast<NSButton *>(*button));
    return Status::success();
}

Status ScriptRunner::get(const std::vector<std::string> &words) {
    if (words.size() != 2) return wrongArguments("get", "a control name");
    Result<NSObject *> found = control(words[1]);
    if (!found) return found.failure();
    NSObject *object = *found;
    std::optional<std::string> value;
    PaneSession::inPool([&] { value = controlValueText(object); });
    if (!value)
        return Failure("get: '" + words[1] + "' (" + object->getClass()->name() +
                               ") has no value");
    out_ << *value << '\n';
    return Status::success();
}

Status ScriptRunner::show(const std::vector<std::string> &words) {
    if (words.size() != 1) return wrongArguments("show", "nothing");
    PaneSession::inPool([&] {
        for (const auto &[name, object] : session_.namedObjects())
            out_ << controlSummary(name, object) << '\n';
    });
    return Status::success();
}

Status ScriptRunner::snapshot(const std::vector<std::string> &words) {
    if (words.size() != 3) return wrongArguments("snapshot", "a view name and a file");
    NSObject *object = session_.objectNamed(words[1]);
    if (!object || !object->isKindOfClass(NSView::staticClass()))
        return Failure("snapshot: no view named '" + words[1] + "'");
    Status written = Status::success();
    // Drawing runs pane code (drawRect:), in a pool like every call into it.
    PaneSession::inPool([&] { written = writePaneSnapshot(static_cast<NSView *>(object), words[2]); });
    if (!written.ok()) return Failure("snapshot: '" + words[1] + "': " + written.message());
    return Status::success();
}

Status ScriptRunner::lifecycle(const std::vector<std::string> &words) {
    if (words.size() != 1) return wrongArguments(words[0], "nothing");
    return words[0] == "leave" ? session_.leave() : session_.reload();
}
