// XML property lists into values. The reader keeps its own stack of open
// containers instead of recursing, so no nesting can exhaust the process
// stack, and it works in one pass over the text (time linear in its size).
#include "property_list_codec_internal.h"

#include "string_encoding.h"
#include "string_storage.h"

#include <cstring>

namespace cfplist::detail {
namespace {

// Why a string could not be made from text read from the file: text that is
// not UTF-8 makes the file malformed; anything else was an allocation, which
// must not make a caller take the file for corrupt.
DecodeStatus string_failure(std::string_view text) {
    return cf::decode_utf8(text) ? DecodeStatus::NoMemory : DecodeStatus::NotAPropertyList;
}

enum class TagKind { Start, End, Empty };

struct Tag {
    TagKind kind;
    std::string_view name;
};

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Follows quoted text character by character: true when c opens, closes or
// lies inside a quoted run, whose quote character `quote` holds (0 outside).
bool follows_quotes(char c, char &quote) {
    if (quote) {
        if (c == quote) quote = 0;
        return true;
    }
    if (c != '"' && c != '\'') return false;
    quote = c;
    return true;
}

bool is_name_character(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == ':' ||
           c == '-' || c == '.';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && is_space(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_space(text.back())) text.remove_suffix(1);
    return text;
}

void append_utf8(std::string &out, uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | code >> 18);
        out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

struct Frame {
    bool is_dictionary;
    std::vector<Owned> items;  // an array's items, a dictionary's values
    std::vector<Owned> keys;
    Owned pending_key;
};

class XmlReader {
public:
    XmlReader(std::string_view text, const DecodeOptions &options) : in_(text), options_(options) {}

    Decoded read();

private:
    bool starts_with(std::string_view prefix) const { return in_.substr(at_, prefix.size()) == prefix; }
    bool skip_past(std::string_view end);
    bool skip_declaration();
    bool skip_misc();
    bool read_tag(Tag &tag);
    bool read_entity(std::string &out);
    bool read_text(const Tag &tag, std::string &out);
    DecodeStatus read_value(Owned &result);
    DecodeStatus leaf(const Tag &tag, Owned &value);
    DecodeStatus deliver(Owned value, Owned &result);
    DecodeStatus close(const Tag &tag, Owned &result);
    DecodeStatus skip_entry(const Tag &tag);

    std::string_view in_;
    size_t at_ = 0;
    DecodeOptions options_;
    std::vector<Frame> stack_;
    CFIndex omitted_ = 0;
};

bool XmlReader::skip_past(std::string_view end) {
    size_t found = in_.find(end, at_);
    if (found == std::string_view::npos) return false;
    at_ = found + end.size();
    return true;
}

// <!DOCTYPE ...>, with an internal subset in brackets if there is one.
bool XmlReader::skip_declaration() {
    int brackets = 0;
    char quote = 0;
    for (; at_ < in_.size(); ++at_) {
        char c = in_[at_];
        if (follows_quotes(c, quote)) {
            continue;
        } else if (c == '[') {
            ++brackets;
        } else if (c == ']') {
            --brackets;
        } else if (c == '>' && brackets <= 0) {
            ++at_;
            return true;
        }
    }
    return false;
}

// White space, comments, processing instructions and declarations.
bool XmlReader::skip_misc() {
    for (;;) {
        while (at_ < in_.size() && is_space(in_[at_])) ++at_;
        if (starts_with("<?")) {
            if (!skip_past("?>")) return false;
        } else if (starts_with("<!--")) {
            at_ += 4;
            if (!skip_past("-->")) return false;
        } else if (starts_with("<!")) {
            if (!skip_declaration()) return false;
        } else {
            return true;
        }
    }
}

bool XmlReader::read_tag(Tag &tag) {
    if (!skip_misc() || at_ >= in_.size() || in_[at_] != '<') return false;
    ++at_;
    tag.kind = TagKind::Start;
    if (at_ < in_.size() && in_[at_] == '/') {
        tag.kind = TagKind::End;
        ++at_;
    }
    size_t start = at_;
    while (at_ < in_.size() && is_name_character(in_[at_])) ++at_;
    tag.name = in_.substr(start, at_ - start);
    if (tag.name.empty()) return false;
    // Attributes are allowed and ignored (<plist version="1.0">).
    char quote = 0;
    for (; at_ < in_.size(); ++at_) {
        char c = in_[at_];
        if (follows_quotes(c, quote)) {
            if (tag.kind == TagKind::End) return false;
        } else if (c == '<') {
            return false;
        } else if (c == '>') {
            if (at_ > start && in_[at_ - 1] == '/') {
                if (tag.kind == TagKind::End) return false;
                tag.kind = TagKind::Empty;
            }
            ++at_;
            return true;
        }
    }
    return false;
}

bool XmlReader::read_entity(std::string &out) {
    size_t end = in_.find(';', at_);
    if (end == std::string_view::npos || end - at_ > 12) return false;
    std::string_view name = in_.substr(at_ + 1, end - at_ - 1);
    at_ = end + 1;
    if (name == "lt") out += '<';
    else if (name == "gt") out += '>';
    else if (name == "amp") out += '&';
    else if (name == "quot") out += '"';
    else if (name == "apos") out += '\'';
    else if (name.size() >= 2 && name[0] == '#') {
        bool hex = name[1] == 'x';
        std::string_view digits = name.substr(hex ? 2 : 1);
        if (digits.empty()) return false;
        uint32_t code = 0;
        for (char c : digits) {
            int digit = c >= '0' && c <= '9' ? c - '0'
                        : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                        : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
            if (digit < 0) return false;
            code = code * (hex ? 16 : 10) + static_cast<uint32_t>(digit);
            if (code > 0x10FFFF) return false;
        }
        if (code == 0 || (code >= 0xD800 && code <= 0xDFFF)) return false;
        append_utf8(out, code);
    } else {
        return false;
    }
    return true;
}

// The text of an element up to its end tag: entities and CDATA decoded,
// comments dropped, line ends normalized as XML requires.
bool XmlReader::read_text(const Tag &tag, std::string &out) {
    if (tag.kind == TagKind::Empty) return true;
    while (at_ < in_.size()) {
        char c = in_[at_];
        if (c == '&') {
            if (!read_entity(out)) return false;
        } else if (c == '\r') {
            out += '\n';
            ++at_;
            if (at_ < in_.size() && in_[at_] == '\n') ++at_;
        } else if (c != '<') {
            size_t end = in_.find_first_of("&<\r", at_);
            if (end == std::string_view::npos) return false;
            out.append(in_.substr(at_, end - at_));
            at_ = end;
        } else if (starts_with("<![CDATA[")) {
            size_t end = in_.find("]]>", at_ + 9);
            if (end == std::string_view::npos) return false;
            out.append(in_.substr(at_ + 9, end - at_ - 9));
            at_ = end + 3;
        } else if (starts_with("<!--")) {
            at_ += 4;
            if (!skip_past("-->")) return false;
        } else {
            Tag end_tag{};
            return read_tag(end_tag) && end_tag.kind == TagKind::End && end_tag.name == tag.name;
        }
    }
    return false;
}

DecodeStatus XmlReader::leaf(const Tag &tag, Owned &value) {
    std::string text;
    if (!read_text(tag, text)) return DecodeStatus::NotAPropertyList;
    std::string_view name = tag.name;
    if (name == "string") {
        value = Owned::adopt(cf::create_string_from_utf8(text));
    } else if (name == "true" || name == "false") {
        if (!trimmed(text).empty()) return DecodeStatus::NotAPropertyList;
        value = Owned::retain(name == "true" ? kCFBooleanTrue : kCFBooleanFalse);
    } else if (name == "integer") {
        auto integer = parse_integer(trimmed(text));
        if (!integer) return DecodeStatus::NotAPropertyList;
        value = Owned::adopt(CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &*integer));
    } else if (name == "real") {
        auto real = parse_real(trimmed(text));
        if (!real) return DecodeStatus::NotAPropertyList;
        value = Owned::adopt(CFNumberCreate(kCFAllocatorDefault, kCFNumberFloat64Type, &*real));
    } else if (name == "date") {
        auto at = parse_date(trimmed(text));
        if (!at) return DecodeStatus::NotAPropertyList;
        value = Owned::adopt(CFDateCreate(kCFAllocatorDefault, *at));
    } else if (name == "data") {
        auto bytes = parse_base64(text);
        if (!bytes) return DecodeStatus::NotAPropertyList;
        value = Owned::adopt(CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(bytes->data()),
                                          static_cast<CFIndex>(bytes->size())));
    } else {
        return DecodeStatus::NotAPropertyList;
    }
    if (!value) return name == "string" ? string_failure(text) : DecodeStatus::NoMemory;
    return DecodeStatus::Ok;
}

DecodeStatus XmlReader::deliver(Owned value, Owned &result) {
    if (stack_.empty()) {
        result = std::move(value);
        return DecodeStatus::Ok;
    }
    Frame &frame = stack_.back();
    if (frame.is_dictionary) {
        if (!frame.pending_key) return DecodeStatus::NotAPropertyList;
        frame.keys.push_back(std::move(frame.pending_key));
        frame.pending_key = Owned();
    }
    frame.items.push_back(std::move(value));
    return DecodeStatus::Ok;
}

DecodeStatus XmlReader::close(const Tag &tag, Owned &result) {
    if (stack_.empty()) return DecodeStatus::NotAPropertyList;
    Frame &frame = stack_.back();
    if (tag.name != (frame.is_dictionary ? "dict" : "array") || frame.pending_key) {
        return DecodeStatus::NotAPropertyList;
    }
    bool mutable_containers = options_.mutable_containers;
    Owned value = Owned::adopt(frame.is_dictionary ? static_cast<CFTypeRef>(make_dictionary(frame.keys, frame.items))
                                                   : make_array(frame.items));
    if (value && mutable_containers) {
        value = Owned::adopt(frame.is_dictionary
                                 ? static_cast<CFTypeRef>(CFDictionaryCreateMutableCopy(
                                       kCFAllocatorDefault, 0, static_cast<CFDictionaryRef>(value.get())))
                                 : CFArrayCreateMutableCopy(kCFAllocatorDefault, 0, static_cast<CFArrayRef>(value.get())));
    }
    if (!value) return DecodeStatus::NoMemory;
    stack_.pop_back();
    return deliver(std::move(value), result);
}

// Skips the rest of a top-level entry that went too deep: the element that
// starts at tag and every container of the entry still open.
DecodeStatus XmlReader::skip_entry(const Tag &tag) {
    size_t open = stack_.size() - 1;
    std::string ignored;
    Tag next = tag;
    for (bool first = true; first || open > 0; first = false) {
        if (!first && !read_tag(next)) return DecodeStatus::NotAPropertyList;
        bool container = next.name == "array" || next.name == "dict";
        if (next.kind == TagKind::End) {
            if (!container) return DecodeStatus::NotAPropertyList;
            --open;
        } else if (next.kind == TagKind::Start) {
            if (container) {
                ++open;
            } else if (!read_text(next, ignored)) {
                return DecodeStatus::NotAPropertyList;
            }
            ignored.clear();
        }
    }
    stack_.resize(1);
    stack_.back().pending_key = Owned();
    ++omitted_;
    return DecodeStatus::Ok;
}

DecodeStatus XmlReader::read_value(Owned &result) {
    Tag tag{};
    do {
        if (!read_tag(tag)) return DecodeStatus::NotAPropertyList;
        DecodeStatus status = DecodeStatus::Ok;
        bool container = tag.name == "array" || tag.name == "dict";
        if (tag.kind == TagKind::End) {
            status = close(tag, result);
        } else if (tag.name == "key") {
            std::string text;
            if (stack_.empty() || !stack_.back().is_dictionary || stack_.back().pending_key || !read_text(tag, text)) {
                return DecodeStatus::NotAPropertyList;
            }
            stack_.back().pending_key = Owned::adopt(cf::create_string_from_utf8(text));
            if (!stack_.back().pending_key) return string_failure(text);
        } else if (stack_.size() > static_cast<size_t>(kMaxDepth)) {
            bool in_domain_entry = options_.drop_over_limit_entries && stack_.front().is_dictionary;
            if (!in_domain_entry) return DecodeStatus::OverLimit;
            status = skip_entry(tag);
        } else if (container && tag.kind == TagKind::Start) {
            stack_.push_back(Frame{tag.name == "dict", {}, {}, Owned()});
        } else if (container) {
            stack_.push_back(Frame{tag.name == "dict", {}, {}, Owned()});
            status = close(Tag{TagKind::End, tag.name}, result);
        } else {
            Owned value;
            status = leaf(tag, value);
            if (status == DecodeStatus::Ok) status = deliver(std::move(value), result);
        }
        if (status != DecodeStatus::Ok) return status;
    } while (!stack_.empty());
    return DecodeStatus::Ok;
}

Decoded XmlReader::read() {
    if (starts_with("\xEF\xBB\xBF")) at_ += 3;
    Tag tag{};
    size_t start = at_;
    bool wrapped = read_tag(tag) && tag.kind == TagKind::Start && tag.name == "plist";
    if (!wrapped) at_ = start;  // a bare value is read too
    Decoded decoded;
    decoded.status = read_value(decoded.value);
    if (decoded.status != DecodeStatus::Ok) return Decoded{Owned(), decoded.status, 0};
    if (wrapped && (!read_tag(tag) || tag.kind != TagKind::End || tag.name != "plist")) return Decoded{};
    if (!skip_misc() || at_ != in_.size()) return Decoded{};
    decoded.omitted_entries = omitted_;
    return decoded;
}

}  // namespace

Decoded decode_xml(std::string_view bytes, const DecodeOptions &options) {
    XmlReader reader(bytes, options);
    return reader.read();
}

}  // namespace cfplist::detail
