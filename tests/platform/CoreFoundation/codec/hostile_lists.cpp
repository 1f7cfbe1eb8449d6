#include "hostile_lists.h"

namespace hostile {
namespace {

void append_big_endian(std::string &out, unsigned long long value, int width) {
    for (int shift = 8 * (width - 1); shift >= 0; shift -= 8) out += static_cast<char>(value >> shift & 0xFF);
}

std::string length_marker(int kind, size_t length) {
    std::string out;
    if (length < 15) {
        out += static_cast<char>(kind << 4 | static_cast<int>(length));
    } else {
        out += static_cast<char>(kind << 4 | 0x0F);
        out += '\x13';
        append_big_endian(out, length, 8);
    }
    return out;
}

}  // namespace

std::string ref(size_t index) {
    std::string out;
    append_big_endian(out, index, 4);
    return out;
}

std::string binary_list(const std::vector<std::string> &objects) {
    std::string out = "bplist00";
    std::vector<size_t> offsets;
    for (const std::string &object : objects) {
        offsets.push_back(out.size());
        out += object;
    }
    size_t table = out.size();
    for (size_t offset : offsets) append_big_endian(out, offset, 4);
    out.append(6, '\0');
    out += '\x04';
    out += '\x04';
    append_big_endian(out, objects.size(), 8);
    append_big_endian(out, 0, 8);
    append_big_endian(out, table, 8);
    return out;
}

std::string array_of(const std::vector<size_t> &items) {
    std::string out = length_marker(0xA, items.size());
    for (size_t item : items) out += ref(item);
    return out;
}

std::string dict_of(const std::vector<size_t> &keys, const std::vector<size_t> &values) {
    std::string out = length_marker(0xD, keys.size());
    for (size_t key : keys) out += ref(key);
    for (size_t value : values) out += ref(value);
    return out;
}

std::string ascii(const std::string &text) { return length_marker(0x5, text.size()) + text; }

std::string utf16(const std::u16string &text) {
    std::string out = length_marker(0x6, text.size());
    for (char16_t unit : text) append_big_endian(out, unit, 2);
    return out;
}

std::string integer(long long value) {
    std::string out = "\x13";
    append_big_endian(out, static_cast<unsigned long long>(value), 8);
    return out;
}

std::string binary_nested(size_t depth) {
    std::vector<std::string> objects;
    for (size_t i = 0; i < depth; ++i) objects.push_back(array_of({i + 1}));
    objects.push_back("\x09");
    return binary_list(objects);
}

std::string xml_nested(size_t depth) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n";
    for (size_t i = 0; i < depth; ++i) out += "<array>";
    out += "<true/>";
    for (size_t i = 0; i < depth; ++i) out += "</array>";
    return out + "\n</plist>\n";
}

std::string binary_shared(size_t levels, size_t fan_out) {
    std::vector<std::string> objects;
    for (size_t level = 0; level < levels; ++level) objects.push_back(array_of(std::vector<size_t>(fan_out, level + 1)));
    objects.push_back(ascii("shared"));
    return binary_list(objects);
}

std::string binary_dictionary(size_t count) {
    std::vector<std::string> objects(1);
    std::vector<size_t> keys, values;
    for (size_t i = 0; i < count; ++i) {
        keys.push_back(objects.size());
        objects.push_back(ascii("k" + std::to_string(i)));
        values.push_back(objects.size());
        objects.push_back(integer(static_cast<long long>(i)));
    }
    objects[0] = dict_of(keys, values);
    return binary_list(objects);
}

std::string xml_dictionary(size_t count) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n";
    for (size_t i = 0; i < count; ++i) {
        out += "\t<key>k" + std::to_string(i) + "</key>\n\t<integer>" + std::to_string(i) + "</integer>\n";
    }
    return out + "</dict>\n</plist>\n";
}

std::string binary_domain_with_deep_entry(size_t depth) {
    // 0: the domain, 1-3: keys, 4: 1, 5: "last", 6..: the deep arrays.
    std::vector<std::string> objects = {dict_of({1, 2, 3}, {4, 6, 5}), ascii("a"), ascii("deep"), ascii("z"),
                                        integer(1), ascii("last")};
    for (size_t i = 0; i < depth; ++i) objects.push_back(array_of({objects.size() + 1}));
    objects.push_back("\x08");
    return binary_list(objects);
}

std::string xml_domain_with_deep_entry(size_t depth) {
    std::string deep;
    for (size_t i = 0; i < depth; ++i) deep += "<array>";
    deep += "<string>x</string>";
    for (size_t i = 0; i < depth; ++i) deep += "</array>";
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
           "<key>a</key><integer>1</integer><key>deep</key>" + deep +
           "<key>z</key><string>last</string></dict>\n</plist>\n";
}

std::vector<NamedList> small_hostile_lists() {
    using std::string;
    return {
        {"shared-references.bplist", binary_shared(12, 16)},
        {"reference-loop.bplist", binary_list({array_of({1}), array_of({0})})},
        {"nul-in-key-and-string.bplist",
         binary_list({dict_of({1, 2}, {3, 3}), ascii(string("a\0b", 3)), ascii("plain"), ascii(string("x\0y", 3))})},
        {"control-characters.bplist",
         binary_list({array_of({1, 2, 3}), ascii("bell\a"), ascii("esc\x1b[0m"), utf16(u"\u0001\uFFFE\r\n")})},
        {"lone-surrogate.bplist", binary_list({array_of({1}), utf16(u"a\xD800" "b")})},
        {"ascii-high-byte.bplist", binary_list({ascii("caf\xE9")})},
        {"offset-past-end.bplist", binary_list({array_of({7})})},
        {"invalid-utf8.plist", "<plist version=\"1.0\"><string>\xC3\x28</string></plist>"},
        {"control-characters.plist", "<plist version=\"1.0\"><array><string>a&#1;b</string>"
                                     "<string>c\x02" "d</string><string>cr&#13;lf</string></array></plist>"},
        {"nul-reference.plist", "<plist version=\"1.0\"><string>a&#0;b</string></plist>"},
        {"unclosed-deep.plist", xml_nested(2000).substr(0, 10000)},
    };
}

}  // namespace hostile
