// XML text of a node tree that keeps negative zeros.
//
// libplist cannot be told to write "-0.0", so each negative zero is swapped,
// in a copy of the tree, for a real no other node holds; the text libplist
// writes for that real then marks exactly the places to put "-0.0". Text
// inside strings and keys cannot match the marker, as their '<' is escaped.
#include "property_list_internal.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int kMaxDepth = 512;

bool is_negative_zero(double value) { return value == 0 && std::signbit(value); }

bool same_bits(double a, double b) { return memcmp(&a, &b, sizeof a) == 0; }

// Calls visit on every real node of the tree.
template <typename Visit>
void for_each_real(plist_t node, const Visit &visit, int depth = 0) {
    if (!node || depth > kMaxDepth) return;
    switch (plist_get_node_type(node)) {
        case PLIST_REAL:
            visit(node);
            break;
        case PLIST_ARRAY:
            for (uint32_t i = 0, count = plist_array_get_size(node); i < count; ++i) {
                for_each_real(plist_array_get_item(node, i), visit, depth + 1);
            }
            break;
        case PLIST_DICT: {
            plist_dict_iter iterator = nullptr;
            plist_dict_new_iter(node, &iterator);
            if (!iterator) break;
            for (;;) {
                char *key = nullptr;
                plist_t item = nullptr;
                plist_dict_next_item(node, iterator, &key, &item);
                free(key);
                if (!item) break;
                for_each_real(item, visit, depth + 1);
            }
            free(iterator);
            break;
        }
        default:
            break;
    }
}

double real_of(plist_t node) {
    double value = 0;
    plist_get_real_val(node, &value);
    return value;
}

std::string plain_xml(plist_t node) {
    char *xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(node, &xml, &length);
    if (!xml) return {};
    std::string text(xml, length);
    plist_to_xml_free(xml);
    return text;
}

// A real none of the tree's reals has: a multiple of the smallest subnormal.
bool choose_marker(const std::vector<double> &reals, double &marker) {
    for (int multiple = 1; multiple <= 64; ++multiple) {
        double candidate = multiple * 4.9406564584124654e-324;
        bool taken = false;
        for (double real : reals) taken = taken || same_bits(real, candidate);
        if (!taken) {
            marker = candidate;
            return true;
        }
    }
    return false;
}

// The text libplist writes for a real, "<real>...</real>".
std::string element_of(double value) {
    plist_t node = plist_new_real(value);
    std::string text = plain_xml(node);
    plist_free(node);
    size_t start = text.find("<real>");
    size_t end = text.find("</real>", start);
    if (start == std::string::npos || end == std::string::npos) return {};
    return text.substr(start, end + strlen("</real>") - start);
}

void replace_all(std::string &text, const std::string &from, const std::string &to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

std::string xml_keeping_negative_zeros(plist_t node) noexcept {
    std::vector<double> reals;
    bool has_negative_zero = false;
    for_each_real(node, [&](plist_t real) {
        reals.push_back(real_of(real));
        has_negative_zero = has_negative_zero || is_negative_zero(reals.back());
    });
    double marker = 0;
    if (!has_negative_zero || !choose_marker(reals, marker)) return plain_xml(node);
    std::string marker_element = element_of(marker);
    plist_t copy = plist_copy(node);
    if (marker_element.empty() || !copy) {
        plist_free(copy);
        return {};
    }
    for_each_real(copy, [&](plist_t real) {
        if (is_negative_zero(real_of(real))) plist_set_real_val(real, marker);
    });
    std::string text = plain_xml(copy);
    plist_free(copy);
    replace_all(text, marker_element, "<real>-0.0</real>");
    return text;
}

}  // namespace

std::string _CFPropertyListCopyXMLText(plist_t node) { return xml_keeping_negative_zeros(node); }
