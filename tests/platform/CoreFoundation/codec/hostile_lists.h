// Property-list files made to hurt a reader: deep nesting, shared
// references, text no XML can hold, huge dictionaries. Shared by the codec
// tests, the fuzz seed corpus and the codec benchmark.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace hostile {

// A binary list of the given objects (each already encoded, with 4-byte
// references), the first object at the top.
std::string binary_list(const std::vector<std::string> &objects);
// Object encodings for binary_list.
std::string ref(size_t index);
std::string array_of(const std::vector<size_t> &items);
std::string dict_of(const std::vector<size_t> &keys, const std::vector<size_t> &values);
std::string ascii(const std::string &text);
std::string utf16(const std::u16string &text);
std::string integer(long long value);

// Arrays nested depth deep around a true, binary or XML.
std::string binary_nested(size_t depth);
std::string xml_nested(size_t depth);
// levels of arrays, each holding fan_out references to the one below: tiny,
// but its written form multiplies by fan_out at every level.
std::string binary_shared(size_t levels, size_t fan_out);
// A dictionary of count keys "k<n>" to integers.
std::string binary_dictionary(size_t count);
std::string xml_dictionary(size_t count);
// A domain: "a" = 1, "deep" = arrays nested depth deep, "z" = "last".
std::string binary_domain_with_deep_entry(size_t depth);
std::string xml_domain_with_deep_entry(size_t depth);

struct NamedList {
    std::string name;
    std::string bytes;
};
// The small hostile files, as kept in the regression corpus.
std::vector<NamedList> small_hostile_lists();

}  // namespace hostile
