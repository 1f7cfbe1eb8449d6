#include "prefs_test_util.h"

#include <plist/plist.h>

namespace prefs_test {

bool parses_as_dictionary(const std::string &path) {
    std::string bytes = glissor_test::read_file(path);
    plist_t root = nullptr;
    plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
    bool ok = root && plist_get_node_type(root) == PLIST_DICT;
    if (root) plist_free(root);
    return ok;
}

}  // namespace prefs_test
