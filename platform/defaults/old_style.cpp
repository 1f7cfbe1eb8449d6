#include "old_style.h"

#include <CFText.h>

#include <cstdint>
#include <cstring>

namespace {

bool is_unquoted_char(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || strchr("_$+/:.-", c);
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void append_utf8(std::string &out, uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xc0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3f));
    } else {
        out += static_cast<char>(0xe0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (code & 0x3f));
    }
}

class Parser {
public:
    explicit Parser(const std::string &text) : text_(text) {}

    Result<CFRef<CFPropertyListRef>> parse_all() {
        CFRef<CFPropertyListRef> value = parse_value();
        if (value && (skip_space(), pos_ != text_.size())) fail("unexpected text after the value");
        if (!error_.empty()) return Failure(error_ + " at offset " + std::to_string(pos_));
        if (!value) return Failure("no memory for the value");
        return value;
    }

private:
    const std::string &text_;
    size_t pos_ = 0;
    int depth_ = 0;  // containers open around the value being parsed
    std::string error_;

    // One more container opens at pos_; false past the depth limit.
    bool enter() {
        if (depth_ >= kOldStyleMaxDepth) return false;
        ++depth_;
        return true;
    }

    bool at_end() const { return pos_ >= text_.size(); }
    char peek() const { return at_end() ? '\0' : text_[pos_]; }

    CFRef<CFPropertyListRef> fail(const std::string &why) {
        if (error_.empty()) error_ = why;
        return {};
    }

    void skip_space() {
        while (!at_end()) {
            char c = text_[pos_];
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
                ++pos_;
            } else if (text_.compare(pos_, 2, "//") == 0) {
                while (!at_end() && text_[pos_] != '\n') ++pos_;
            } else if (text_.compare(pos_, 2, "/*") == 0) {
                size_t end = text_.find("*/", pos_ + 2);
                pos_ = end == std::string::npos ? text_.size() : end + 2;
            } else {
                return;
            }
        }
    }

    CFRef<CFPropertyListRef> parse_value() {
        skip_space();
        char c = peek();
        if (c == '"' || c == '\'') return parse_quoted(c);
        if (c == '(') return parse_array();
        if (c == '{') return parse_dictionary();
        if (c == '<') return parse_data();
        if (at_end()) return fail("a value is missing");
        if (!is_unquoted_char(c)) return fail(std::string("unexpected '") + c + "'");
        size_t start = pos_;
        while (!at_end() && is_unquoted_char(text_[pos_])) ++pos_;
        return make_string(text_.substr(start, pos_ - start));
    }

    // All of the text, U+0000 included (an escape can make one).
    CFRef<CFPropertyListRef> make_string(const std::string &utf8) {
        auto made = CFRef<CFPropertyListRef>::adopt(
            CFStringCreateWithBytes(kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(utf8.data()),
                                    static_cast<CFIndex>(utf8.size()), kCFStringEncodingUTF8, false));
        if (!made) return fail("the text is not valid UTF-8");
        return made;
    }

    bool parse_escape(std::string &out) {
        char c = text_[pos_++];
        switch (c) {
        case 'n': out += '\n'; return true;
        case 't': out += '\t'; return true;
        case 'r': out += '\r'; return true;
        case 'a': out += '\a'; return true;
        case 'b': out += '\b'; return true;
        case 'f': out += '\f'; return true;
        case 'v': out += '\v'; return true;
        case 'U': case 'u': {
            uint32_t code = 0;
            for (int i = 0; i < 4; ++i) {
                int digit = at_end() ? -1 : hex_digit(text_[pos_]);
                if (digit < 0) return false;
                code = code * 16 + static_cast<uint32_t>(digit);
                ++pos_;
            }
            if (code >= 0xd800 && code <= 0xdfff) return false;  // a lone surrogate is no character
            append_utf8(out, code);
            return true;
        }
        default:
            if (c >= '0' && c <= '7') {
                unsigned code = static_cast<unsigned>(c - '0');
                for (int i = 0; i < 2 && !at_end() && text_[pos_] >= '0' && text_[pos_] <= '7'; ++i)
                    code = code * 8 + static_cast<unsigned>(text_[pos_++] - '0');
                if (code > 0xff) return false;
                append_utf8(out, code);
                return true;
            }
            out += c;  // \" \\ \' and any other character stand for themselves
            return true;
        }
    }

    CFRef<CFPropertyListRef> parse_quoted(char quote) {
        ++pos_;
        std::string out;
        while (!at_end() && text_[pos_] != quote) {
            if (text_[pos_] != '\\') {
                out += text_[pos_++];
                continue;
            }
            ++pos_;
            if (at_end()) break;
            if (!parse_escape(out)) return fail("a bad \\ escape in a quoted string");
        }
        if (at_end()) return fail("a quoted string is not closed");
        ++pos_;
        return make_string(out);
    }

    CFRef<CFPropertyListRef> parse_array() {
        if (!enter()) return fail("containers nested deeper than " + std::to_string(kOldStyleMaxDepth));
        CFRef<CFPropertyListRef> array = parse_array_items();
        --depth_;
        return array;
    }

    CFRef<CFPropertyListRef> parse_dictionary() {
        if (!enter()) return fail("containers nested deeper than " + std::to_string(kOldStyleMaxDepth));
        CFRef<CFPropertyListRef> dictionary = parse_dictionary_entries();
        --depth_;
        return dictionary;
    }

    CFRef<CFPropertyListRef> parse_array_items() {
        ++pos_;
        auto array = CFRef<CFMutableArrayRef>::adopt(CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks));
        skip_space();
        while (peek() != ')') {
            CFRef<CFPropertyListRef> item = parse_value();
            if (!item) return {};
            CFArrayAppendValue(array.get(), item.get());
            skip_space();
            if (peek() == ',') {
                ++pos_;
                skip_space();
            } else if (peek() != ')') {
                return fail("expected ',' or ')' in an array");
            }
        }
        ++pos_;
        return CFRef<CFPropertyListRef>::adopt(array.release());
    }

    CFRef<CFPropertyListRef> parse_dictionary_entries() {
        ++pos_;
        auto dictionary = CFRef<CFMutableDictionaryRef>::adopt(CFDictionaryCreateMutable(
            kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
        skip_space();
        while (peek() != '}') {
            if (at_end()) return fail("a dictionary is not closed");
            CFRef<CFPropertyListRef> key = parse_value();
            if (!key) return {};
            if (CFGetTypeID(key.get()) != CFStringGetTypeID()) return fail("a dictionary key must be a string");
            skip_space();
            if (peek() != '=') return fail("expected '=' after a dictionary key");
            ++pos_;
            CFRef<CFPropertyListRef> value = parse_value();
            if (!value) return {};
            skip_space();
            if (peek() != ';') return fail("expected ';' after a dictionary value");
            ++pos_;
            CFDictionarySetValue(dictionary.get(), key.get(), value.get());
            skip_space();
        }
        ++pos_;
        return CFRef<CFPropertyListRef>::adopt(dictionary.release());
    }

    CFRef<CFPropertyListRef> parse_data() {
        ++pos_;
        std::string bytes;
        int high = -1;
        for (; !at_end() && text_[pos_] != '>'; ++pos_) {
            char c = text_[pos_];
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
            int digit = hex_digit(c);
            if (digit < 0) return fail("data holds a character that is not a hex digit");
            if (high < 0) {
                high = digit;
            } else {
                bytes += static_cast<char>(high * 16 + digit);
                high = -1;
            }
        }
        if (at_end()) return fail("data is not closed with '>'");
        if (high >= 0) return fail("data has an odd number of hex digits");
        ++pos_;
        return CFRef<CFPropertyListRef>::adopt(CFDataCreate(
            kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(bytes.data()), static_cast<CFIndex>(bytes.size())));
    }
};

}  // namespace

Result<CFRef<CFPropertyListRef>> parse_old_style(const std::string &text) { return Parser(text).parse_all(); }
