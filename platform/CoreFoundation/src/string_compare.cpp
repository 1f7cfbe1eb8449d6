// Ordering strings, and their prefixes and suffixes.
//
// Strings order by UTF-16 code unit. kCFCompareCaseInsensitive compares the
// simple lowercase folding of each unit, for ASCII, the Latin-1 Supplement
// (and the micro sign, folded to Greek mu), Latin Extended-A, basic Greek
// (with its tonos letters and final sigma) and basic Cyrillic (U+0400 to
// U+042F); other characters compare as they are. Foldings that change the
// length (sharp s to "ss") are not made. kCFCompareNumerically compares runs
// of ASCII digits by their value. The other flags change nothing here.
#include "string_storage.h"

namespace {

UniChar fold_latin_extended_a(UniChar c) {
    if (c == 0x0130) return 'i';    // capital I with dot above
    if (c == 0x0178) return 0x00FF; // capital Y with diaeresis
    if (c == 0x017F) return 's';    // long s
    bool even_upper = (c >= 0x0100 && c <= 0x0137 && c != 0x0131) || (c >= 0x014A && c <= 0x0177);
    bool odd_upper = (c >= 0x0139 && c <= 0x0148) || (c >= 0x0179 && c <= 0x017E);
    if (even_upper && c % 2 == 0) return c + 1;
    if (odd_upper && c % 2 == 1) return c + 1;
    return c;
}

UniChar fold_greek(UniChar c) {
    switch (c) {
        case 0x0386: return 0x03AC;
        case 0x0388: return 0x03AD;
        case 0x0389: return 0x03AE;
        case 0x038A: return 0x03AF;
        case 0x038C: return 0x03CC;
        case 0x038E: return 0x03CD;
        case 0x038F: return 0x03CE;
        case 0x03C2: return 0x03C3;  // final sigma
        default: break;
    }
    if (c >= 0x0391 && c <= 0x03AB && c != 0x03A2) return c + 0x20;
    return c;
}

UniChar fold_case(UniChar c) {
    if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + 0x20 : c;
    if (c == 0x00B5) return 0x03BC;  // micro sign folds to mu
    if (c >= 0x00C0 && c <= 0x00DE && c != 0x00D7) return c + 0x20;
    if (c >= 0x0100 && c <= 0x017F) return fold_latin_extended_a(c);
    if (c >= 0x0386 && c <= 0x03C2) return fold_greek(c);
    if (c >= 0x0400 && c <= 0x040F) return c + 0x50;
    if (c >= 0x0410 && c <= 0x042F) return c + 0x20;
    return c;
}

bool is_digit(char16_t c) { return c >= '0' && c <= '9'; }

// Compares the digit runs starting at i and j by value and moves both past
// their run.
int compare_digit_runs(const std::u16string &a, size_t &i, const std::u16string &b, size_t &j) {
    while (i < a.size() && a[i] == '0') ++i;
    while (j < b.size() && b[j] == '0') ++j;
    size_t a_start = i, b_start = j;
    while (i < a.size() && is_digit(a[i])) ++i;
    while (j < b.size() && is_digit(b[j])) ++j;
    size_t a_length = i - a_start, b_length = j - b_start;
    if (a_length != b_length) return a_length < b_length ? -1 : 1;
    int order = a.compare(a_start, a_length, b, b_start, b_length);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

int compare_text(const std::u16string &a, const std::u16string &b, CFStringCompareFlags flags) {
    bool fold = (flags & kCFCompareCaseInsensitive) != 0;
    bool numeric = (flags & kCFCompareNumerically) != 0;
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (numeric && is_digit(a[i]) && is_digit(b[j])) {
            int order = compare_digit_runs(a, i, b, j);
            if (order != 0) return order;
            continue;
        }
        UniChar x = fold ? fold_case(a[i]) : a[i];
        UniChar y = fold ? fold_case(b[j]) : b[j];
        if (x != y) return x < y ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

}  // namespace

CFComparisonResult CFStringCompare(CFStringRef theString1, CFStringRef theString2,
                                   CFStringCompareFlags compareOptions) {
    const __CFString *first = cf::checked_string(theString1, "CFStringCompare");
    const __CFString *second = cf::checked_string(theString2, "CFStringCompare");
    int order = compare_text(first->utf16, second->utf16, compareOptions);
    return order < 0 ? kCFCompareLessThan : (order > 0 ? kCFCompareGreaterThan : kCFCompareEqualTo);
}

// An empty prefix or suffix is not found, as on the real platform.
Boolean CFStringHasPrefix(CFStringRef theString, CFStringRef prefix) {
    const std::u16string &text = cf::checked_string(theString, "CFStringHasPrefix")->utf16;
    const std::u16string &start = cf::checked_string(prefix, "CFStringHasPrefix")->utf16;
    return !start.empty() && text.starts_with(start);
}

Boolean CFStringHasSuffix(CFStringRef theString, CFStringRef suffix) {
    const std::u16string &text = cf::checked_string(theString, "CFStringHasSuffix")->utf16;
    const std::u16string &end = cf::checked_string(suffix, "CFStringHasSuffix")->utf16;
    return !end.empty() && text.ends_with(end);
}
