#include "kdl_text.h"

#include <cstdint>

#include "text_cursor.h"

namespace hidsystemd_backend {

namespace {

// Deeper than this is no configuration: refused, so no input can exhaust
// the stack.
constexpr std::size_t kMaxDepth = 64;

bool is_inline_space(char c) { return c == ' ' || c == '\t'; }
bool is_newline(char c) { return c == '\n' || c == '\r'; }
// Characters that end a bare word (an identifier, a number, a keyword).
bool ends_word(char c) {
    static constexpr std::string_view kStops = " \t\r\n\\/(){}<>;[]=,\"";
    return c == '\0' || kStops.find(c) != std::string_view::npos;
}

void append_utf8(std::string &out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | ((code >> 18) & 0x07));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

class KdlParser : public TextCursor {
public:
    KdlParser(std::string_view text, std::size_t begin, std::size_t end)
        : TextCursor(text.substr(0, std::min(end, text.size())), begin) {}

    Result<std::vector<KdlNode>> nodes(std::size_t depth) {
        std::vector<KdlNode> found;
        for (;;) {
            if (Status skipped = skip_line_space(); !skipped) return skipped.failure();
            if (at_end() || peek() == '}') return found;
            bool discarded = false;
            if (peek() == '/' && peek(1) == '-') {
                pos += 2;
                if (Status skipped = skip_node_space(); !skipped) return skipped.failure();
                discarded = true;
            }
            auto node = parse_node(depth);
            if (!node) return node.failure();
            if (!discarded) found.push_back(std::move(*node));
        }
    }

private:

    void skip_line_comment() {
        while (!at_end() && !is_newline(peek())) ++pos;
    }

    // `\` at the end of a line (a comment may follow it) joins the next.
    Status skip_continuation() {
        ++pos;
        while (is_inline_space(peek())) ++pos;
        if (peek() == '/' && peek(1) == '/') skip_line_comment();
        if (peek() == '\r') ++pos;
        if (peek() != '\n') return fail("a \\ that does not end its line");
        ++pos;
        return Status::success();
    }

    // Within a node: blanks, block comments, line continuations.
    Status skip_node_space() {
        for (;;) {
            if (is_inline_space(peek()) || (peek() == '\xEF' && peek(1) == '\xBB' && peek(2) == '\xBF')) {
                pos += peek() == '\xEF' ? 3 : 1;
            } else if (peek() == '/' && peek(1) == '*') {
                if (Status skipped = skip_block_comment(kMaxDepth); !skipped) return skipped;
            } else if (peek() == '\\') {
                if (Status joined = skip_continuation(); !joined) return joined;
            } else {
                return Status::success();
            }
        }
    }

    // Between nodes: the above, line ends, semicolons, line comments.
    Status skip_line_space() {
        for (;;) {
            if (Status skipped = skip_node_space(); !skipped) return skipped;
            if (is_newline(peek()) || peek() == ';') {
                ++pos;
            } else if (peek() == '/' && peek(1) == '/') {
                skip_line_comment();
            } else {
                return Status::success();
            }
        }
    }

    Result<std::string> quoted_string() {
        ++pos;
        std::string value;
        for (;;) {
            if (at_end()) return fail("a string is never closed");
            char c = text_[pos++];
            if (c == '"') return value;
            if (c != '\\') {
                value += c;
                continue;
            }
            if (at_end()) return fail("a string is never closed");
            char escaped = text_[pos++];
            switch (escaped) {
            case 'n': value += '\n'; break;
            case 'r': value += '\r'; break;
            case 't': value += '\t'; break;
            case 'b': value += '\b'; break;
            case 'f': value += '\f'; break;
            case 'u': {
                if (peek() != '{') return fail("a \\u escape without {");
                std::size_t close = text_.find('}', pos);
                if (close == std::string_view::npos || close - pos > 7) return fail("a bad \\u escape");
                std::uint32_t code = 0;
                for (std::size_t i = pos + 1; i < close; ++i) {
                    char digit = text_[i];
                    int nibble = digit >= '0' && digit <= '9'   ? digit - '0'
                                 : digit >= 'a' && digit <= 'f' ? digit - 'a' + 10
                                 : digit >= 'A' && digit <= 'F' ? digit - 'A' + 10
                                                                : -1;
                    if (nibble < 0) return fail("a bad \\u escape");
                    code = code * 16 + static_cast<std::uint32_t>(nibble);
                }
                if (code > 0x10FFFF) return fail("a bad \\u escape");
                append_utf8(value, code);
                pos = close + 1;
                break;
            }
            default: value += escaped;  // \\, \", \/
            }
        }
    }

    // r"..." and r#"..."#: no escapes.
    Result<std::string> raw_string() {
        ++pos;
        std::size_t hashes = 0;
        while (peek() == '#') ++hashes, ++pos;
        if (peek() != '"') return fail("expected \" after r and #");
        ++pos;
        std::string closing = "\"" + std::string(hashes, '#');
        std::size_t found = text_.find(closing, pos);
        if (found == std::string_view::npos) return fail("a raw string is never closed");
        std::string value(text_.substr(pos, found - pos));
        pos = found + closing.size();
        return value;
    }

    bool at_raw_string() const {
        if (peek() != 'r') return false;
        std::size_t at = 1;
        while (peek(at) == '#') ++at;
        return peek(at) == '"';
    }

    // A string, or a bare word as written.
    Result<std::string> value() {
        if (peek() == '"') return quoted_string();
        if (at_raw_string()) return raw_string();
        std::size_t start = pos;
        while (!at_end() && !ends_word(peek())) ++pos;
        if (pos == start) {
            char c = peek();
            bool printable = c > ' ' && c < 0x7f;
            return fail(at_end() ? "unexpected end" : printable ? std::string("unexpected '") + c + "'" : "unexpected character");
        }
        return std::string(text_.substr(start, pos - start));
    }

    Status skip_annotation() {
        if (peek() != '(') return Status::success();
        ++pos;
        auto name = value();
        if (!name) return name.failure();
        if (peek() != ')') return fail("a type annotation is never closed");
        ++pos;
        return Status::success();
    }

    // An argument or a property; arguments are kept.
    Status entry(KdlNode &node) {
        if (Status annotated = skip_annotation(); !annotated) return annotated;
        auto first = value();
        if (!first) return first.failure();
        if (peek() != '=') {
            node.arguments.push_back(std::move(*first));
            return Status::success();
        }
        ++pos;
        if (Status annotated = skip_annotation(); !annotated) return annotated;
        auto property = value();
        return property ? Status::success() : Status(property.failure());
    }

    Status children(KdlNode &node, std::size_t depth, bool keep) {
        if (depth + 1 > kMaxDepth) return fail("nested too deeply");
        ++pos;
        std::size_t begin = pos;
        auto inner = nodes(depth + 1);
        if (!inner) return inner.failure();
        if (peek() != '}') return fail("a children block is never closed");
        if (keep) {
            node.children_begin = begin;
            node.children_end = pos;
        }
        ++pos;
        return Status::success();
    }

    Result<KdlNode> parse_node(std::size_t depth) {
        KdlNode node;
        node.begin = pos;
        if (Status annotated = skip_annotation(); !annotated) return annotated.failure();
        auto name = value();
        if (!name) return name.failure();
        node.name = std::move(*name);
        node.end = pos;
        for (;;) {
            if (Status skipped = skip_node_space(); !skipped) return skipped.failure();
            char c = peek();
            if (at_end() || is_newline(c) || c == ';' || c == '}' || (c == '/' && peek(1) == '/')) return node;
            bool discarded = c == '/' && peek(1) == '-';
            if (discarded) {
                pos += 2;
                if (Status skipped = skip_node_space(); !skipped) return skipped.failure();
            }
            Status read = peek() == '{' ? children(node, depth, !discarded)
                                        : (discarded ? entry_discarded() : entry(node));
            if (!read) return read.failure();
            node.end = pos;
        }
    }

    Status entry_discarded() {
        KdlNode ignored;
        return entry(ignored);
    }
};

}  // namespace

Result<std::vector<KdlNode>> parse_kdl_nodes(std::string_view text, std::size_t begin, std::size_t end) {
    if (begin > end || end > text.size()) return Failure("no such part of the text");
    KdlParser parser(text, begin, end);
    auto nodes = parser.nodes(0);
    if (nodes && !parser.at_end()) return Failure("a } that closes nothing");
    return nodes;
}

Result<std::vector<KdlNode>> kdl_children(std::string_view text, const KdlNode &node) {
    if (!node.children_begin || !node.children_end) return std::vector<KdlNode>{};
    return parse_kdl_nodes(text, *node.children_begin, *node.children_end);
}

std::string kdl_quoted(std::string_view text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') quoted += '\\';
        if (c == '\n') {
            quoted += "\\n";
            continue;
        }
        quoted += c;
    }
    return quoted + "\"";
}

}  // namespace hidsystemd_backend
