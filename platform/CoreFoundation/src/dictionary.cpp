// CFDictionary: keys to values, hashed and compared through the key
// callbacks, kept in insertion order (a replaced value keeps its key's
// place); small dictionaries are walked, larger ones indexed by a hash table.
#include "description.h"
#include "runtime.h"
#include "string_storage.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace {

constexpr CFDictionaryKeyCallBacks kNoKeyCallBacks = {0, nullptr, nullptr, nullptr, nullptr, nullptr};
constexpr CFDictionaryValueCallBacks kNoValueCallBacks = {0, nullptr, nullptr, nullptr, nullptr};

struct Entry {
    const void *key;
    const void *value;
};

struct KeyHash {
    const CFDictionaryKeyCallBacks *callbacks;
    size_t operator()(const void *key) const {
        return callbacks->hash ? callbacks->hash(key) : cf::mix_hash(reinterpret_cast<uintptr_t>(key));
    }
};

struct KeyEqual {
    const CFDictionaryKeyCallBacks *callbacks;
    bool operator()(const void *a, const void *b) const {
        return a == b || (callbacks->equal && callbacks->equal(a, b));
    }
};

}  // namespace

struct __CFDictionary : cf::RuntimeBase {
    // Most dictionaries are small records: up to this many entries a key is
    // found by walking them, and only a larger dictionary keeps a hash index
    // beside them, which saves the small ones most of their allocations.
    static constexpr size_t kWalkedEntries = 8;

    __CFDictionary(const CFDictionaryKeyCallBacks *key_cb, const CFDictionaryValueCallBacks *value_cb,
                   bool mutable_dictionary, CFIndex max_count) noexcept
        : RuntimeBase(cf::kDictionaryTypeID),
          key_callbacks(key_cb ? *key_cb : kNoKeyCallBacks),
          value_callbacks(value_cb ? *value_cb : kNoValueCallBacks),
          is_mutable(mutable_dictionary),
          capacity(max_count),
          index(0, KeyHash{&key_callbacks}, KeyEqual{&key_callbacks}) {}
    ~__CFDictionary() {
        for (const Entry &entry : entries) release_entry(entry);
    }

    CFIndex count() const { return static_cast<CFIndex>(entries.size()); }
    // Room for count entries; running out of memory ends the process, as
    // growing the table does.
    void reserve(size_t count) { entries.reserve(count); }

    // Valid until the dictionary next changes.
    const Entry *find(const void *key) const {
        size_t position = position_of(key);
        return position == kAbsent ? nullptr : &entries[position];
    }
    // Adds a new entry, or replaces the value of an existing one. Growing
    // the table is not a value allocation: running out of memory ends the
    // process.
    void set(const void *key, const void *value) noexcept {
        const void *retained_value =
            value_callbacks.retain ? value_callbacks.retain(kCFAllocatorDefault, value) : value;
        size_t position = position_of(key);
        if (position != kAbsent) {
            const void *old = entries[position].value;
            entries[position].value = retained_value;
            release_value(old);
            return;
        }
        const void *retained_key =
            key_callbacks.retain ? key_callbacks.retain(kCFAllocatorDefault, key) : key;
        entries.push_back({retained_key, retained_value});
        if (entries.size() == kWalkedEntries + 1)
            rebuild_index();
        else if (entries.size() > kWalkedEntries + 1)
            index.emplace(retained_key, entries.size() - 1);
    }
    void remove(const void *key) {
        size_t position = position_of(key);
        if (position == kAbsent) return;
        Entry entry = entries[position];
        entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(position));
        rebuild_index();
        release_entry(entry);
    }
    void remove_all() {
        std::vector<Entry> old;
        old.swap(entries);
        index.clear();
        for (const Entry &entry : old) release_entry(entry);
    }
    bool value_equal(const void *a, const void *b) const {
        return a == b || (value_callbacks.equal && value_callbacks.equal(a, b));
    }

    void release_value(const void *value) const {
        if (value_callbacks.release) value_callbacks.release(kCFAllocatorDefault, value);
    }

    void release_entry(const Entry &entry) const {
        if (key_callbacks.release) key_callbacks.release(kCFAllocatorDefault, entry.key);
        release_value(entry.value);
    }

    const CFDictionaryKeyCallBacks key_callbacks;
    const CFDictionaryValueCallBacks value_callbacks;
    const bool is_mutable;
    const CFIndex capacity;  // 0: unbounded
    std::vector<Entry> entries;  // in insertion order
    // Key to position in entries; empty while the entries are few.
    std::unordered_map<const void *, size_t, KeyHash, KeyEqual> index;

private:
    static constexpr size_t kAbsent = SIZE_MAX;

    size_t position_of(const void *key) const {
        if (entries.size() > kWalkedEntries) {
            auto found = index.find(key);
            return found == index.end() ? kAbsent : found->second;
        }
        KeyEqual equal{&key_callbacks};
        for (size_t i = 0; i < entries.size(); ++i)
            if (equal(entries[i].key, key)) return i;
        return kAbsent;
    }
    void rebuild_index() {
        index.clear();
        if (entries.size() <= kWalkedEntries) return;
        index.reserve(entries.size());
        for (size_t i = 0; i < entries.size(); ++i) index.emplace(entries[i].key, i);
    }
};

namespace {

const __CFDictionary *checked_dictionary(CFDictionaryRef dictionary, const char *function) {
    return cf::checked<__CFDictionary>(dictionary, cf::kDictionaryTypeID, function);
}

__CFDictionary *checked_mutable_dictionary(CFMutableDictionaryRef dictionary, const char *function) {
    auto *self = cf::checked_mutable<__CFDictionary>(dictionary, cf::kDictionaryTypeID, function);
    if (!self->is_mutable) {
        cf::fatal(function, "the dictionary %p is immutable", static_cast<void *>(dictionary));
    }
    return self;
}

void check_capacity_argument(CFIndex capacity, const char *function) {
    if (capacity < 0) cf::fatal(function, "negative capacity %ld", capacity);
}

// Adding the key must leave the dictionary within its capacity.
void check_room_for(const __CFDictionary *dictionary, const void *key, const char *function) {
    if (dictionary->capacity != 0 && !dictionary->find(key) &&
        dictionary->count() >= dictionary->capacity) {
        cf::fatal(function, "a new key exceeds the capacity %ld", dictionary->capacity);
    }
}

__CFDictionary *make_dictionary(const CFDictionaryKeyCallBacks *key_callbacks,
                                const CFDictionaryValueCallBacks *value_callbacks, bool is_mutable,
                                CFIndex capacity) noexcept {
    return cf::create_value<__CFDictionary>(key_callbacks, value_callbacks, is_mutable, capacity);
}

__CFDictionary *copy_dictionary(const __CFDictionary *source, bool is_mutable, CFIndex capacity) noexcept {
    __CFDictionary *copy =
        make_dictionary(&source->key_callbacks, &source->value_callbacks, is_mutable, capacity);
    if (!copy) return nullptr;
    copy->reserve(source->entries.size());
    for (const Entry &entry : source->entries) copy->set(entry.key, entry.value);
    return copy;
}

Boolean dictionary_equal(CFTypeRef a, CFTypeRef b) {
    const auto *first = static_cast<const __CFDictionary *>(a);
    const auto *second = static_cast<const __CFDictionary *>(b);
    if (first->count() != second->count()) return false;
    for (const Entry &entry : first->entries) {
        const Entry *other = second->find(entry.key);
        if (!other || !first->value_equal(entry.value, other->value)) return false;
    }
    return true;
}

CFHashCode dictionary_hash(CFTypeRef value) {
    return static_cast<CFHashCode>(static_cast<const __CFDictionary *>(value)->count());
}

CFStringRef dictionary_copy_description(CFTypeRef value) {
    std::string text;
    if (!cf::append_dictionary_listing(text, static_cast<CFDictionaryRef>(value), 0)) return nullptr;
    return cf::create_string_from_utf8(text);
}

}  // namespace

const cf::RuntimeClass cf::kDictionaryClass = {
    "CFDictionary", cf::destroy_value<__CFDictionary>, dictionary_equal, dictionary_hash,
    dictionary_copy_description,
};

bool cf::append_dictionary_listing(std::string &out, CFDictionaryRef dictionary, int level) noexcept {
    out += "{\n";
    for (const Entry &entry : dictionary->entries) {
        append_indent(out, level + 1);
        if (!append_element_text(out, entry.key, dictionary->key_callbacks.copyDescription, level + 1)) {
            return false;
        }
        out += " = ";
        if (!append_element_text(out, entry.value, dictionary->value_callbacks.copyDescription, level + 1)) {
            return false;
        }
        out += ";\n";
    }
    append_indent(out, level);
    out += '}';
    return true;
}

namespace {

// Keys of a string-keyed dictionary are copied, so a caller changing its
// own string later cannot change the key. Strings here are immutable, so
// the copy is the string itself; other keys are retained.
const void *copy_string_key(CFAllocatorRef, const void *key) {
    if (CFGetTypeID(key) == cf::kStringTypeID) return CFStringCreateCopy(kCFAllocatorDefault, static_cast<CFStringRef>(key));
    return CFRetain(key);
}

}  // namespace

const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks = {
    0, cf::retain_callback, cf::release_callback, CFCopyDescription, CFEqual, CFHash,
};
const CFDictionaryKeyCallBacks kCFCopyStringDictionaryKeyCallBacks = {
    0, copy_string_key, cf::release_callback, CFCopyDescription, CFEqual, CFHash,
};
const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks = {
    0, cf::retain_callback, cf::release_callback, CFCopyDescription, CFEqual,
};

CFTypeID CFDictionaryGetTypeID(void) { return cf::kDictionaryTypeID; }

CFDictionaryRef CFDictionaryCreate(CFAllocatorRef, const void **keys, const void **values,
                                   CFIndex numValues, const CFDictionaryKeyCallBacks *keyCallBacks,
                                   const CFDictionaryValueCallBacks *valueCallBacks) {
    const char *function = "CFDictionaryCreate";
    if (numValues < 0) cf::fatal(function, "negative count %ld", numValues);
    if ((!keys || !values) && numValues > 0) cf::fatal(function, "NULL keys or values for %ld", numValues);
    __CFDictionary *dictionary = make_dictionary(keyCallBacks, valueCallBacks, false, 0);
    if (!dictionary) return nullptr;
    dictionary->reserve(static_cast<size_t>(numValues));
    for (CFIndex i = 0; i < numValues; ++i) dictionary->set(keys[i], values[i]);
    return dictionary;
}

// An immutable dictionary is its own immutable copy.
CFDictionaryRef CFDictionaryCreateCopy(CFAllocatorRef, CFDictionaryRef theDict) {
    const __CFDictionary *source = checked_dictionary(theDict, "CFDictionaryCreateCopy");
    if (!source->is_mutable) return static_cast<CFDictionaryRef>(CFRetain(source));
    return copy_dictionary(source, false, 0);
}

CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef, CFIndex capacity,
                                                 const CFDictionaryKeyCallBacks *keyCallBacks,
                                                 const CFDictionaryValueCallBacks *valueCallBacks) {
    check_capacity_argument(capacity, "CFDictionaryCreateMutable");
    return make_dictionary(keyCallBacks, valueCallBacks, true, capacity);
}

CFMutableDictionaryRef CFDictionaryCreateMutableCopy(CFAllocatorRef, CFIndex capacity,
                                                     CFDictionaryRef theDict) {
    const char *function = "CFDictionaryCreateMutableCopy";
    const __CFDictionary *source = checked_dictionary(theDict, function);
    check_capacity_argument(capacity, function);
    if (capacity != 0 && source->count() > capacity) {
        cf::fatal(function, "%ld entries exceed the capacity %ld", source->count(), capacity);
    }
    return copy_dictionary(source, true, capacity);
}

bool cf::is_mutable_dictionary(CFDictionaryRef dictionary) {
    return checked_dictionary(dictionary, "cf::is_mutable_dictionary")->is_mutable;
}

CFIndex CFDictionaryGetCount(CFDictionaryRef theDict) {
    return checked_dictionary(theDict, "CFDictionaryGetCount")->count();
}

Boolean CFDictionaryContainsKey(CFDictionaryRef theDict, const void *key) {
    return checked_dictionary(theDict, "CFDictionaryContainsKey")->find(key) != nullptr;
}

const void *CFDictionaryGetValue(CFDictionaryRef theDict, const void *key) {
    const Entry *entry = checked_dictionary(theDict, "CFDictionaryGetValue")->find(key);
    return entry ? entry->value : nullptr;
}

Boolean CFDictionaryGetValueIfPresent(CFDictionaryRef theDict, const void *key, const void **value) {
    const Entry *entry = checked_dictionary(theDict, "CFDictionaryGetValueIfPresent")->find(key);
    if (entry && value) *value = entry->value;
    return entry != nullptr;
}

void CFDictionaryGetKeysAndValues(CFDictionaryRef theDict, const void **keys, const void **values) {
    const __CFDictionary *dictionary = checked_dictionary(theDict, "CFDictionaryGetKeysAndValues");
    size_t i = 0;
    for (const Entry &entry : dictionary->entries) {
        if (keys) keys[i] = entry.key;
        if (values) values[i] = entry.value;
        ++i;
    }
}

void CFDictionaryAddValue(CFMutableDictionaryRef theDict, const void *key, const void *value) {
    __CFDictionary *dictionary = checked_mutable_dictionary(theDict, "CFDictionaryAddValue");
    if (dictionary->find(key)) return;
    check_room_for(dictionary, key, "CFDictionaryAddValue");
    dictionary->set(key, value);
}

void CFDictionarySetValue(CFMutableDictionaryRef theDict, const void *key, const void *value) {
    __CFDictionary *dictionary = checked_mutable_dictionary(theDict, "CFDictionarySetValue");
    check_room_for(dictionary, key, "CFDictionarySetValue");
    dictionary->set(key, value);
}

void CFDictionaryReplaceValue(CFMutableDictionaryRef theDict, const void *key, const void *value) {
    __CFDictionary *dictionary = checked_mutable_dictionary(theDict, "CFDictionaryReplaceValue");
    if (dictionary->find(key)) dictionary->set(key, value);
}

void CFDictionaryRemoveValue(CFMutableDictionaryRef theDict, const void *key) {
    checked_mutable_dictionary(theDict, "CFDictionaryRemoveValue")->remove(key);
}

void CFDictionaryRemoveAllValues(CFMutableDictionaryRef theDict) {
    checked_mutable_dictionary(theDict, "CFDictionaryRemoveAllValues")->remove_all();
}
