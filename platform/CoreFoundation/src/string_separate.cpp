// Splitting a string at every occurrence of a separator.
#include "string_storage.h"

#include <CFRef.h>

#include <vector>

namespace {

// The pieces, each owned; empty when one could not be made (those already
// made are released with the vector).
std::vector<CFRef<CFStringRef>> make_pieces(const std::u16string &text,
                                            const std::u16string &separator) noexcept {
    std::vector<CFRef<CFStringRef>> pieces;
    size_t start = 0;
    for (;;) {
        size_t found = text.find(separator, start);
        size_t end = found == std::u16string::npos ? text.size() : found;
        auto piece = CFRef<CFStringRef>::adopt(
            cf::create_string_from_utf16(std::u16string_view(text).substr(start, end - start)));
        if (!piece) return {};
        pieces.push_back(std::move(piece));
        if (found == std::u16string::npos) return pieces;
        start = found + separator.size();
    }
}

CFArrayRef array_of(const std::vector<CFRef<CFStringRef>> &pieces) noexcept {
    std::vector<const void *> values;
    values.reserve(pieces.size());
    for (const auto &piece : pieces) values.push_back(piece.get());
    return CFArrayCreate(kCFAllocatorDefault, values.data(), static_cast<CFIndex>(values.size()),
                         &kCFTypeArrayCallBacks);
}

}  // namespace

// A string without the separator, and any string split at an empty
// separator, gives one piece: the string itself, as its immutable copy.
CFArrayRef CFStringCreateArrayBySeparatingStrings(CFAllocatorRef, CFStringRef theString,
                                                  CFStringRef separatorString) {
    const char *function = "CFStringCreateArrayBySeparatingStrings";
    const __CFString *string = cf::checked_string(theString, function);
    const __CFString *separator = cf::checked_string(separatorString, function);
    if (separator->utf16.empty() || string->utf16.find(separator->utf16) == std::u16string::npos) {
        const void *whole = string;
        return CFArrayCreate(kCFAllocatorDefault, &whole, 1, &kCFTypeArrayCallBacks);
    }
    std::vector<CFRef<CFStringRef>> pieces = make_pieces(string->utf16, separator->utf16);
    return pieces.empty() ? nullptr : array_of(pieces);
}
