#include "ron_text.h"

#include <charconv>
#include <cmath>
#include <set>

#include "text_cursor.h"

namespace hidsystemd_backend {

namespace {

// Deeper nesting than this is no settings file: refused rather than
// followed, so no input can exhaust the stack or the time of the reader.
constexpr std::size_t kMaxDepth = 128;

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool is_ident_start(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool is_ident_char(char c) { return is_ident_start(c) || (c >= '0' && c <= '9'); }
bool is_bracket(char c) { return c == '(' || c == '[' || c == '{' || c == ')' || c == ']' || c == '}'; }
char closer_of(char open) { return open == '(' ? ')' : open == '[' ? ']' : '}'; }

class Scanner : public TextCursor {
public:
    explicit Scanner(std::string_view text) : TextCursor(text) {}

    // Blanks and comments; fails on a block comment never closed.
    Status skip_blank() {
        for (;;) {
            if (is_blank(peek())) {
                ++pos;
            } else if (peek() == '/' && peek(1) == '/') {
                while (!at_end() && peek() != '\n') ++pos;
            } else if (peek() == '/' && peek(1) == '*') {
                if (Status closed = skip_block_comment(kMaxDepth); !closed) return closed;
            } else {
                return Status::success();
            }
        }
    }

    // One token that is no bracket: a string, a character, a punctuation
    // mark or a run of identifier and number characters.
    Status skip_token() {
        char c = peek();
        if (c == '"') return skip_quoted('"');
        if (c == '\'') return skip_quoted('\'');
        if ((c == 'r' || c == 'b') && starts_raw_or_byte_string()) return skip_prefixed_string();
        if (c == ',' || c == ':') {
            ++pos;
            return Status::success();
        }
        std::size_t start = pos;
        while (!at_end() && !is_blank(peek()) && !is_bracket(peek()) && peek() != ',' && peek() != ':' &&
               peek() != '"' && peek() != '\'' && !(peek() == '/' && (peek(1) == '/' || peek(1) == '*')))
            ++pos;
        if (pos == start) return fail("unexpected character");
        return Status::success();
    }

    // From a value's first token to just past its last one; stops before a
    // comma or closing bracket of the level it started on, or, for
    // one_group, after the bracketed group it starts with.
    Result<std::size_t> skip_value(bool one_group = false) {
        std::vector<char> closers;
        std::size_t last_end = pos;
        for (;;) {
            if (Status skipped = skip_blank(); !skipped) return skipped.failure();
            if (at_end()) return closers.empty() ? Result<std::size_t>(last_end) : fail("a bracket is never closed");
            char c = peek();
            if (closers.empty() && (c == ',' || c == ')' || c == ']' || c == '}')) return last_end;
            if (c == '(' || c == '[' || c == '{') {
                if (closers.size() >= kMaxDepth) return fail("nested too deeply");
                closers.push_back(closer_of(c));
                ++pos;
            } else if (c == ')' || c == ']' || c == '}') {
                if (c != closers.back()) return fail("a bracket closes what it did not open");
                closers.pop_back();
                ++pos;
                if (one_group && closers.empty()) return pos;
            } else if (Status token = skip_token(); !token) {
                return token.failure();
            }
            last_end = pos;
        }
    }

    // An identifier (a raw one, r#name, too); empty when there is none.
    std::string_view identifier() {
        std::size_t start = pos;
        if (peek() == 'r' && peek(1) == '#' && is_ident_start(peek(2))) pos += 2;
        if (!is_ident_start(peek())) {
            pos = start;
            return {};
        }
        while (is_ident_char(peek())) ++pos;
        return text_.substr(start, pos - start);
    }

private:

    Status skip_quoted(char quote) {
        ++pos;
        while (!at_end() && peek() != quote) pos += peek() == '\\' ? 2 : 1;
        if (at_end()) return fail(quote == '"' ? "a string is never closed" : "a character is never closed");
        ++pos;
        return Status::success();
    }

    // r"..", r#".."#, b"..", br#".."#, b'.'.
    bool starts_raw_or_byte_string() const {
        std::size_t at = pos;
        if (text_[at] == 'b') {
            ++at;
            if (at < text_.size() && (text_[at] == '"' || text_[at] == '\'')) return true;
        }
        if (at >= text_.size() || text_[at] != 'r') return false;
        ++at;
        while (at < text_.size() && text_[at] == '#') ++at;
        return at < text_.size() && text_[at] == '"';
    }

    Status skip_prefixed_string() {
        if (peek() == 'b') ++pos;
        if (peek() == '"' || peek() == '\'') return skip_quoted(peek());
        ++pos;  // the r
        std::size_t hashes = 0;
        while (peek() == '#') ++hashes, ++pos;
        ++pos;  // the opening quote
        std::string closing = "\"" + std::string(hashes, '#');
        std::size_t found = text_.find(closing, pos);
        if (found == std::string_view::npos) return fail("a raw string is never closed");
        pos = found + closing.size();
        return Status::success();
    }
};

// `#![enable(...)]` lines before the value.
Status skip_attributes(Scanner &scanner) {
    for (;;) {
        if (Status skipped = scanner.skip_blank(); !skipped) return skipped;
        if (scanner.peek() != '#') return Status::success();
        if (scanner.peek(1) != '!' || scanner.peek(2) != '[') return scanner.fail("expected #![...]");
        scanner.pos += 2;
        auto end = scanner.skip_value(true);
        if (!end) return end.failure();
    }
}

Result<RonField> parse_field(Scanner &scanner) {
    RonField field;
    field.name_begin = scanner.pos;
    field.name = std::string(scanner.identifier());
    if (field.name.empty()) return scanner.fail("expected a field name");
    if (Status skipped = scanner.skip_blank(); !skipped) return skipped.failure();
    if (scanner.peek() != ':') return scanner.fail("expected ':' after " + field.name);
    ++scanner.pos;
    if (Status skipped = scanner.skip_blank(); !skipped) return skipped.failure();
    field.value_begin = scanner.pos;
    auto value_end = scanner.skip_value();
    if (!value_end) return value_end.failure();
    if (*value_end == field.value_begin) return scanner.fail(field.name + " has no value");
    field.value_end = *value_end;
    if (Status skipped = scanner.skip_blank(); !skipped) return skipped.failure();
    if (scanner.peek() == ',') {
        field.end = ++scanner.pos;
    } else if (scanner.peek() == ')') {
        field.end = field.value_end;
    } else {
        return scanner.fail("expected ',' or ')' after the value of " + field.name);
    }
    return field;
}

std::size_t line_start(std::string_view text, std::size_t at) {
    std::size_t newline = text.rfind('\n', at == 0 ? 0 : at - 1);
    return at == 0 || newline == std::string_view::npos ? 0 : newline + 1;
}

bool only_blanks(std::string_view text) {
    for (char c : text)
        if (c != ' ' && c != '\t') return false;
    return true;
}

// The field's indentation, when it begins its own line.
std::optional<std::string> own_line_indent(std::string_view text, std::size_t name_begin) {
    std::size_t start = line_start(text, name_begin);
    std::string_view prefix = text.substr(start, name_begin - start);
    if (!only_blanks(prefix)) return std::nullopt;
    return std::string(prefix);
}

RonLayout layout_for(std::string_view indent, bool multiline) {
    RonLayout layout;
    layout.multiline = multiline;
    layout.indent = std::string(indent);
    layout.unit = indent.empty() ? "    " : std::string(indent);
    return layout;
}

// Where the line holding `at` ends, after its newline, when what is left of
// it is blank or a comment; npos when something else follows on it.
std::size_t end_of_quiet_line(std::string_view text, std::size_t at) {
    std::size_t newline = text.find('\n', at);
    std::string_view rest = text.substr(at, newline == std::string_view::npos ? std::string_view::npos : newline - at);
    std::size_t content = rest.find_first_not_of(" \t\r");
    bool quiet = content == std::string_view::npos || rest.substr(content, 2) == "//";
    if (!quiet || newline == std::string_view::npos) return std::string_view::npos;
    return newline + 1;
}

std::string insert_after(std::string_view text, const RonField &field, std::string_view name,
                         const RonValueWriter &value, bool multiline) {
    std::string result(text);
    std::size_t end = field.end;
    if (field.end == field.value_end) {  // no comma after it yet
        result.insert(field.value_end, ",");
        end = field.value_end + 1;
    }
    auto indent = own_line_indent(text, field.name_begin);
    std::size_t line_end = multiline && indent ? end_of_quiet_line(result, end) : std::string::npos;
    if (line_end != std::string::npos) {
        std::string line = *indent + std::string(name) + ": " + value(layout_for(*indent, true)) + ",\n";
        return result.insert(line_end, line);
    }
    return result.insert(end, " " + std::string(name) + ": " + value(layout_for("", false)) + ",");
}

std::string insert_first(std::string_view text, const RonStruct &parsed, std::string_view name,
                         const RonValueWriter &value, bool multiline) {
    std::string result(text);
    if (parsed.fields.empty()) {
        if (!multiline) return result.insert(parsed.open + 1, std::string(name) + ": " + value(layout_for("", false)));
        return result.insert(parsed.open + 1, "\n    " + std::string(name) + ": " + value(layout_for("    ", true)) + ",");
    }
    const RonField &first = parsed.fields.front();
    auto indent = own_line_indent(text, first.name_begin);
    if (multiline && indent) {
        std::string line = *indent + std::string(name) + ": " + value(layout_for(*indent, true)) + ",\n";
        return result.insert(line_start(text, first.name_begin), line);
    }
    return result.insert(first.name_begin, std::string(name) + ": " + value(layout_for("", false)) + ", ");
}

// A tiny reader of the acceleration value: identifiers, numbers and the
// marks ( ) , : — anything else is a value Glissor does not know.
class ValueTokens {
public:
    explicit ValueTokens(std::string_view text) : scanner_(text) {}

    Result<std::string_view> next() {
        if (Status skipped = scanner_.skip_blank(); !skipped) return skipped.failure();
        if (scanner_.at_end()) return std::string_view();
        char c = scanner_.peek();
        std::size_t start = scanner_.pos;
        if (c == '(' || c == ')' || c == ',' || c == ':') {
            ++scanner_.pos;
        } else if (c == '"' || c == '\'' || c == '[' || c == ']' || c == '{' || c == '}') {
            return Failure("acceleration holds a value Glissor does not know");
        } else if (Status token = scanner_.skip_token(); !token) {
            return token.failure();
        }
        return scanner_.text().substr(start, scanner_.pos - start);
    }

    Status expect(std::string_view wanted) {
        auto token = next();
        if (!token) return token.failure();
        if (*token != wanted) return Failure("acceleration holds a value Glissor does not know");
        return Status::success();
    }

private:
    Scanner scanner_;
};

Failure unknown_acceleration() { return Failure("acceleration holds a value Glissor does not know"); }

std::optional<double> parse_number(std::string_view text) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

// `None`, `Some(Flat)` or `Some(Adaptive)`.
Result<std::string> parse_profile(ValueTokens &tokens) {
    auto word = tokens.next();
    if (!word) return word.failure();
    if (*word == "None") return std::string("none");
    if (*word != "Some") return unknown_acceleration();
    if (Status open = tokens.expect("("); !open) return open.failure();
    auto name = tokens.next();
    if (!name) return name.failure();
    std::string profile = *name == "Flat" ? "flat" : *name == "Adaptive" ? "adaptive" : "";
    if (profile.empty()) return Failure("acceleration has a profile Glissor does not know: " + std::string(*name));
    if (Status close = tokens.expect(")"); !close) return close.failure();
    return profile;
}

// The fields of the inner struct, up to and with its `)`.
Result<RonAcceleration> parse_accel_fields(ValueTokens &tokens) {
    RonAcceleration acceleration;
    std::set<std::string> seen;
    for (;;) {
        auto name = tokens.next();
        if (!name) return name.failure();
        if (*name == ")") break;
        std::string field(*name);
        if (field != "profile" && field != "speed")
            return Failure("acceleration has a field Glissor does not know: " + field);
        if (!seen.insert(field).second) return Failure("acceleration names " + field + " twice");
        if (Status colon = tokens.expect(":"); !colon) return colon.failure();
        if (field == "profile") {
            auto profile = parse_profile(tokens);
            if (!profile) return profile.failure();
            acceleration.profile = *profile;
        } else {
            auto number = tokens.next();
            if (!number) return number.failure();
            auto speed = parse_number(*number);
            if (!speed) return unknown_acceleration();
            acceleration.speed = *speed;
        }
        auto after = tokens.next();
        if (!after) return after.failure();
        if (*after == ")") break;
        if (*after != ",") return unknown_acceleration();
    }
    if (!seen.count("speed")) return Failure("acceleration has no speed");
    if (!seen.count("profile")) acceleration.profile = "none";
    return acceleration;
}

}  // namespace

const RonField *RonStruct::find(std::string_view name) const {
    for (const RonField &field : fields)
        if (field.name == name) return &field;
    return nullptr;
}

Result<RonStruct> parse_ron_struct(std::string_view text) {
    Scanner scanner(text);
    if (Status attributes = skip_attributes(scanner); !attributes) return attributes.failure();
    scanner.identifier();  // a struct's name, which COSMIC leaves out
    if (Status skipped = scanner.skip_blank(); !skipped) return skipped.failure();
    if (scanner.peek() != '(') return scanner.fail("expected a struct, ( ... )");
    RonStruct parsed;
    parsed.open = scanner.pos++;
    std::set<std::string> names;
    for (;;) {
        if (Status skipped = scanner.skip_blank(); !skipped) return skipped.failure();
        if (scanner.at_end()) return scanner.fail("the struct is never closed");
        if (scanner.peek() == ')') break;
        auto field = parse_field(scanner);
        if (!field) return field.failure();
        if (!names.insert(field->name).second) return scanner.fail(field->name + " is named twice");
        parsed.fields.push_back(std::move(*field));
    }
    parsed.close = scanner.pos++;
    if (Status skipped = scanner.skip_blank(); !skipped) return skipped.failure();
    if (!scanner.at_end()) return scanner.fail("text after the struct");
    return parsed;
}

Result<std::string> ron_set_field(std::string_view text, std::string_view name, const RonValueWriter &value,
                                  std::string_view after) {
    auto parsed = parse_ron_struct(text);
    if (!parsed) return parsed.failure();
    bool multiline = text.substr(parsed->open, parsed->close - parsed->open).find('\n') != std::string_view::npos;
    if (const RonField *field = parsed->find(name)) {
        auto indent = own_line_indent(text, field->name_begin);
        RonLayout layout = layout_for(indent.value_or(""), multiline && indent);
        return std::string(text.substr(0, field->value_begin)) + value(layout) +
               std::string(text.substr(field->value_end));
    }
    if (const RonField *previous = parsed->find(after)) return insert_after(text, *previous, name, value, multiline);
    return insert_first(text, *parsed, name, value, multiline);
}

Result<std::string> ron_remove_field(std::string_view text, std::string_view name) {
    auto parsed = parse_ron_struct(text);
    if (!parsed) return parsed.failure();
    const RonField *field = parsed->find(name);
    if (!field) return std::string(text);
    std::string result(text);
    std::size_t line_end = own_line_indent(text, field->name_begin) ? end_of_quiet_line(text, field->end)
                                                                    : std::string_view::npos;
    bool whole_lines = line_end != std::string_view::npos &&
                       text.substr(field->end, line_end - field->end).find("//") == std::string_view::npos;
    if (whole_lines) {
        std::size_t start = line_start(text, field->name_begin);
        return result.erase(start, line_end - start);
    }
    std::size_t end = field->end;
    while (end < text.size() && (text[end] == ' ' || text[end] == '\t')) ++end;
    return result.erase(field->name_begin, end - field->name_begin);
}

Result<std::optional<RonAcceleration>> parse_ron_acceleration(std::string_view value) {
    ValueTokens tokens(value);
    auto first = tokens.next();
    if (!first) return first.failure();
    std::optional<RonAcceleration> result;
    if (*first == "Some") {
        if (Status open = tokens.expect("("); !open) return open.failure();
        auto inner = tokens.next();
        if (!inner) return inner.failure();
        if (*inner != "(") {  // a struct's name before its fields
            if (Status open = tokens.expect("("); !open) return open.failure();
        }
        auto fields = parse_accel_fields(tokens);
        if (!fields) return fields.failure();
        if (Status close = tokens.expect(")"); !close) return close.failure();
        result = *fields;
    } else if (*first != "None") {
        return unknown_acceleration();
    }
    auto rest = tokens.next();
    if (!rest) return rest.failure();
    if (!rest->empty()) return unknown_acceleration();
    return result;
}

std::string ron_number(double value) {
    char text[64];
    auto [end, error] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    std::string number = error == std::errc{} ? std::string(text, end) : "0";
    if (number.find('.') == std::string::npos) number += ".0";
    return number;
}

std::string format_ron_acceleration(const RonAcceleration &acceleration, const RonLayout &layout) {
    std::string profile = acceleration.profile == "flat"       ? "Some(Flat)"
                          : acceleration.profile == "adaptive" ? "Some(Adaptive)"
                                                               : "None";
    std::string speed = ron_number(acceleration.speed);
    if (!layout.multiline) return "Some((profile: " + profile + ", speed: " + speed + "))";
    std::string inner = layout.indent + layout.unit;
    return "Some((\n" + inner + "profile: " + profile + ",\n" + inner + "speed: " + speed + ",\n" + layout.indent + "))";
}

}  // namespace hidsystemd_backend
