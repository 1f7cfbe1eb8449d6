// CFSTR: one immortal string for each literal text, shared by every caller
// in the process and safe to ask for from any thread.
#include "string_storage.h"

#include "string_encoding.h"

#include <functional>
#include <mutex>
#include <string_view>
#include <unordered_map>

namespace {

// Looked up by string_view, so a CFSTR that is already interned costs a
// hash and no allocation: it runs on hot paths (every setMouseFix).
struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const noexcept { return std::hash<std::string_view>{}(text); }
};

struct ConstantTable {
    std::mutex mutex;
    std::unordered_map<std::string, CFStringRef, TextHash, std::equal_to<>> strings;
};

ConstantTable &constant_table() {
    // Never destroyed, like the constants it holds.
    static ConstantTable *table = new ConstantTable;
    return *table;
}

CFStringRef intern(const char *cStr) noexcept {
    ConstantTable &table = constant_table();
    std::lock_guard lock(table.mutex);
    auto found = table.strings.find(std::string_view(cStr));
    if (found != table.strings.end()) return found->second;
    std::optional<std::u16string> text = cf::decode_utf8(cStr);
    if (!text) cf::fatal("CFSTR", "the literal \"%s\" is not valid UTF-8", cStr);
    CFStringRef constant = cf::create_immortal<__CFString>(std::string(cStr), std::move(*text));
    table.strings.emplace(cStr, constant);
    return constant;
}

}  // namespace

CFStringRef __CFStringMakeConstantString(const char *cStr) {
    if (!cStr) cf::fatal("CFSTR", "NULL literal");
    return intern(cStr);
}
