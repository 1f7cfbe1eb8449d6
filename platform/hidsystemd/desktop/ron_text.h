// A COSMIC settings key edited in place. COSMIC keeps each key in a file of
// its own holding one RON value; the input keys are a struct written as
// `( name: value, ... )`, pretty-printed four spaces a level with a comma
// after every field. Only one top-level field is ever changed: its value is
// replaced (or the field added, or removed) and every other byte of the file
// (fields we do not know, comments, the user's layout) stays as it was.
//
// The reader knows just enough RON to find where each top-level value
// begins and ends: strings, raw strings, characters, comments (block
// comments nest) and brackets. It never fails on a value it does not
// understand, only on a file whose top level is not such a struct.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <Result.h>

namespace hidsystemd_backend {

// One top-level field: where its name and its value lie in the text, and
// where it ends (after its comma, when it has one).
struct RonField {
    std::string name;
    std::size_t name_begin = 0;
    std::size_t value_begin = 0;
    std::size_t value_end = 0;
    std::size_t end = 0;
};

struct RonStruct {
    std::size_t open = 0;   // the `(`
    std::size_t close = 0;  // the `)`
    std::vector<RonField> fields;

    const RonField *find(std::string_view name) const;
};

// The top-level struct of a key file; a failure says, with its line, why
// the text is not one (a field named twice is one: RON readers refuse it).
Result<RonStruct> parse_ron_struct(std::string_view text);

// How a new value is laid out where it goes: over several lines, each
// `indent` deep (the field's own indentation) with `unit` more for each
// level inside, or on the struct's one line.
struct RonLayout {
    bool multiline = true;
    std::string indent = "    ";
    std::string unit = "    ";
};
using RonValueWriter = std::function<std::string(const RonLayout &layout)>;

// The text with the field's value replaced, or the field added after the
// field named `after` (first when there is none), laid out like its
// neighbours. Fails only when the text is no struct.
Result<std::string> ron_set_field(std::string_view text, std::string_view name, const RonValueWriter &value,
                                  std::string_view after);
// The text without the field (its own lines go with it); unchanged when it
// has none.
Result<std::string> ron_remove_field(std::string_view text, std::string_view name);

// The `acceleration` value of COSMIC's input keys:
// `Some((profile: Some(Flat), speed: 0.0))`, the profile also `None`.
struct RonAcceleration {
    std::string profile;  // "flat", "adaptive", or "none" (libinput's own)
    double speed = 0;
    bool operator==(const RonAcceleration &) const = default;
};

// What a value says: nullopt for `None`; a failure for anything else it is
// not sure of (a profile or a field it does not know, no speed).
Result<std::optional<RonAcceleration>> parse_ron_acceleration(std::string_view value);
// The value as COSMIC's settings write it, in the layout given.
std::string format_ron_acceleration(const RonAcceleration &acceleration, const RonLayout &layout);
// A double as RON writes it: the shortest text that reads back the same,
// always with a decimal point ("0.0", "-0.1", "0.6666666666666666").
std::string ron_number(double value);

}  // namespace hidsystemd_backend
