// Values as XML property-list text, in one pass: each value is written once
// where it appears, indentation stops growing at kMaxIndent (so deep
// nesting costs linear text), and the text stops at kMaxFileBytes.
//
// XML 1.0 has no way to hold U+0000, most other characters below U+0020 or
// U+FFFE/U+FFFF, not even as character references, so a string or key
// holding one is refused: the value is then written as a binary list (see
// encode_for_file) rather than as text that other readers reject. A CR is
// written as "&#13;", as a reader turns a raw one into LF.
#include "property_list_codec_internal.h"

#include "dictionary_entries.h"
#include "runtime.h"
#include "string_internal.h"

#include <algorithm>
#include <cmath>

namespace cfplist::detail {
namespace {

// More than the document's header, footer and one key take.
constexpr size_t kEntryDocumentRoom = 64 * 1024;

// Where the text goes: into a string, or only counted, when the question is
// whether a value can be written at all (the same rules, no text built).
class XmlOutput {
public:
    explicit XmlOutput(std::string *text) : text_(text) {}
    XmlOutput &operator+=(std::string_view part) {
        if (text_)
            text_->append(part);
        else
            counted_ += part.size();
        return *this;
    }
    XmlOutput &operator+=(char c) { return *this += std::string_view(&c, 1); }
    void append(size_t count, char c) {
        if (text_)
            text_->append(count, c);
        else
            counted_ += count;
    }
    size_t size() const { return text_ ? text_->size() : counted_; }

private:
    std::string *text_;
    size_t counted_ = 0;
};

class XmlWriter {
public:
    XmlWriter(std::string *out, bool exact, std::span<const PrewrittenValue> prewritten = {})
        : out_(out), exact_(exact), prewritten_(prewritten) {
        if (out) out->clear();
    }

    // One value of a top-level dictionary, as write() would write it there,
    // with room left under the file limit for the document around it.
    bool entry(CFTypeRef value) { return write(value, 1) && out_.size() + kEntryDocumentRoom <= kMaxFileBytes; }

    bool document(CFTypeRef value) {
        // The document type line is optional for readers, but tools that
        // compare exported text expect the usual header.
        out_ += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                "<plist version=\"1.0\">\n";
        if (!write(value, 0)) return false;
        out_ += "</plist>\n";
        return out_.size() <= kMaxFileBytes;
    }

private:
    void indent(int depth) { out_.append(static_cast<size_t>(std::min(depth, kMaxIndent)), '\t'); }

    static bool needs_reference(char c) { return c == '&' || c == '<' || c == '>' || c == '\r'; }

    // What a string's text needs, found once per string and kept on it.
    enum TextMark : std::uint8_t { kKnown = 1, kXmlText = 2, kNeedsReferences = 4 };
    static std::uint8_t marks_of(CFStringRef string, std::string_view text) {
        std::uint8_t marks = cf::string_text_marks(string);
        if (marks) return marks;
        marks = kKnown;
        if (is_xml_text(text)) marks |= kXmlText;
        if (std::any_of(text.begin(), text.end(), needs_reference)) marks |= kNeedsReferences;
        cf::set_string_text_marks(string, marks);
        return marks;
    }

    // Runs of plain text are copied whole; only the four characters that
    // need it are replaced.
    bool escaped(CFStringRef string) {
        std::string_view text(cf::string_utf8(string), cf::string_utf8_length(string));
        std::uint8_t marks = marks_of(string, text);
        if (!(marks & kXmlText)) return false;
        if (!(marks & kNeedsReferences)) {
            out_ += text;
            return true;
        }
        size_t run = 0;
        for (size_t i = 0; i < text.size(); ++i) {
            if (!needs_reference(text[i])) continue;
            out_ += text.substr(run, i - run);
            switch (text[i]) {
                case '&': out_ += "&amp;"; break;
                case '<': out_ += "&lt;"; break;
                case '>': out_ += "&gt;"; break;
                default: out_ += "&#13;"; break;
            }
            run = i + 1;
        }
        out_ += text.substr(run);
        return true;
    }

    bool element(const char *name, CFStringRef string, int depth) {
        indent(depth);
        out_ += '<';
        out_ += name;
        out_ += '>';
        if (!escaped(string)) return false;
        out_ += "</";
        out_ += name;
        out_ += ">\n";
        return true;
    }

    void element(const char *name, const std::string &text, int depth) {
        indent(depth);
        out_ += '<';
        out_ += name;
        out_ += '>';
        out_ += text;
        out_ += "</";
        out_ += name;
        out_ += ">\n";
    }

    bool number(CFNumberRef number, int depth) {
        if (CFNumberIsFloatType(number)) {
            double value = 0;
            CFNumberGetValue(number, kCFNumberFloat64Type, &value);
            element("real", real_text(value), depth);
        } else {
            SInt64 value = 0;
            CFNumberGetValue(number, kCFNumberSInt64Type, &value);
            element("integer", std::to_string(value), depth);
        }
        return true;
    }

    bool data(CFDataRef data, int depth) {
        std::string_view bytes(reinterpret_cast<const char *>(CFDataGetBytePtr(data)),
                               static_cast<size_t>(CFDataGetLength(data)));
        indent(depth);
        out_ += "<data>\n";
        out_ += base64_text(bytes, std::string(static_cast<size_t>(std::min(depth, kMaxIndent)), '\t'));
        indent(depth);
        out_ += "</data>\n";
        return true;
    }

    bool array(CFArrayRef array, int depth) {
        CFIndex count = CFArrayGetCount(array);
        indent(depth);
        if (count == 0) {
            out_ += "<array/>\n";
            return true;
        }
        out_ += "<array>\n";
        for (CFIndex i = 0; i < count; ++i) {
            if (!write(CFArrayGetValueAtIndex(array, i), depth + 1)) return false;
        }
        indent(depth);
        out_ += "</array>\n";
        return true;
    }

    bool dictionary(CFDictionaryRef dictionary, int depth) {
        cf::DictionaryEntries entries(dictionary);
        indent(depth);
        if (entries.size() == 0) {
            out_ += "<dict/>\n";
            return true;
        }
        out_ += "<dict>\n";
        for (size_t i = 0; i < entries.size(); ++i) {
            const void *key = entries.key(i);
            if (!key || !cf::is_live_value(key) || CFGetTypeID(key) != CFStringGetTypeID()) return false;
            if (!element("key", static_cast<CFStringRef>(key), depth + 1)) return false;
            const std::string *text = depth == 0 ? prewritten_text(entries.value(i)) : nullptr;
            if (text)
                out_ += *text;
            else if (!write(entries.value(i), depth + 1))
                return false;
        }
        indent(depth);
        out_ += "</dict>\n";
        return true;
    }

    bool write(CFTypeRef value, int depth) {
        // Containers made without callbacks may hold pointers that are not values.
        if (!value || depth > kMaxDepth || out_.size() > kMaxFileBytes || !cf::is_live_value(value)) return false;
        CFTypeID type = CFGetTypeID(value);
        if (type == CFStringGetTypeID()) return element("string", static_cast<CFStringRef>(value), depth);
        if (type == CFBooleanGetTypeID()) {
            indent(depth);
            out_ += CFBooleanGetValue(static_cast<CFBooleanRef>(value)) ? "<true/>\n" : "<false/>\n";
            return true;
        }
        if (type == CFNumberGetTypeID()) return number(static_cast<CFNumberRef>(value), depth);
        if (type == CFDateGetTypeID()) {
            double at = CFDateGetAbsoluteTime(static_cast<CFDateRef>(value));
            if (!is_storable_date(at) || (exact_ && at != std::floor(at))) return false;
            element("date", date_text(at), depth);
            return true;
        }
        if (type == CFDataGetTypeID()) return data(static_cast<CFDataRef>(value), depth);
        if (type == CFArrayGetTypeID()) return array(static_cast<CFArrayRef>(value), depth);
        if (type == CFDictionaryGetTypeID()) return dictionary(static_cast<CFDictionaryRef>(value), depth);
        return false;
    }

    const std::string *prewritten_text(CFTypeRef value) const {
        for (const PrewrittenValue &known : prewritten_)
            if (known.value == value) return known.text;
        return nullptr;
    }

    XmlOutput out_;
    bool exact_;  // refuse what the text would keep only approximately
    std::span<const PrewrittenValue> prewritten_;
};

}  // namespace

bool write_xml(CFPropertyListRef value, std::string &out, bool exact, std::span<const PrewrittenValue> prewritten) {
    XmlWriter writer(&out, exact, prewritten);
    return writer.document(value);
}

bool write_entry_xml(CFPropertyListRef value, std::string &out) {
    XmlWriter writer(&out, true);
    return writer.entry(value);
}

bool can_write_xml(CFPropertyListRef value) {
    XmlWriter writer(nullptr, false);
    return writer.document(value);
}

}  // namespace cfplist::detail
