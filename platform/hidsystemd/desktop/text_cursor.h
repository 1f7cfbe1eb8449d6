// A reading position in a settings file's text, for the readers of
// COSMIC's RON and niri's KDL files: the position, a look ahead, a failure
// that names the line, and C-style block comments, which both formats nest.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include <Result.h>

namespace hidsystemd_backend {

class TextCursor {
public:
    explicit TextCursor(std::string_view text, std::size_t start = 0) : text_(text), pos(start) {}

    std::string_view text() const { return text_; }
    bool at_end() const { return pos >= text_.size(); }
    // '\0' past the end.
    char peek(std::size_t ahead = 0) const { return pos + ahead < text_.size() ? text_[pos + ahead] : '\0'; }

    // "line N: what", N where the cursor stands.
    Failure fail(std::string_view what) const {
        std::size_t line = 1;
        for (std::size_t i = 0; i < pos && i < text_.size(); ++i) line += text_[i] == '\n';
        return Failure("line " + std::to_string(line) + ": " + std::string(what));
    }

    // From a "/*" to just past its "*/", comments inside it too; refused
    // when nested deeper than max_depth, so no input exhausts the reader.
    Status skip_block_comment(std::size_t max_depth) {
        std::size_t depth = 0;
        do {
            if (at_end()) return fail("a comment is never closed");
            if (peek() == '/' && peek(1) == '*') {
                if (++depth > max_depth) return fail("comments nested too deeply");
                pos += 2;
            } else if (peek() == '*' && peek(1) == '/') {
                --depth;
                pos += 2;
            } else {
                ++pos;
            }
        } while (depth > 0);
        return Status::success();
    }

protected:
    std::string_view text_;

public:
    std::size_t pos;
};

}  // namespace hidsystemd_backend
