// The verbs that change a domain: write, rename, delete, import.
#include "verbs.h"

#include "old_style.h"
#include "value_parse.h"
#include "value_text.h"

#include "domain_file.h"

#include <CoreFoundation/CFPreferencesPrivate.h>
#include <FileIO/durable_file.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

CFRef<CFMutableDictionaryRef> empty_dictionary() {
    return CFRef<CFMutableDictionaryRef>::adopt(CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
}

// Loads the domain for a change; a broken file is no obstacle (the store
// keeps it aside), nor a directory that is not one (the write reports
// it), but an unreadable file is: it is never overwritten.
Result<Loaded> load_for_change(const Domain &domain) {
    Loaded loaded = domain.load();
    if (loaded.read_error && loaded.read_error != ENOTDIR)
        return Failure("could not write domain " + domain.label() + " to " + domain.file() +
                       ": the file cannot be read (" + strerror(loaded.read_error) + ")");
    if (loaded.not_property_list || loaded.read_error == ENOTDIR) {
        loaded.values = CFRef<CFDictionaryRef>::adopt(empty_dictionary().release());
        return loaded;
    }
    if (!loaded.values) return Failure(loaded.error);
    return loaded;
}

int apply(const Domain &domain, CFDictionaryRef set, const std::vector<CFStringRef> &remove) {
    auto note = domain.apply(set, remove);
    if (!note) return fail(note.message());
    if (!note->empty()) fprintf(stderr, "defaults: %s\n", note->c_str());
    return 0;
}

std::vector<CFStringRef> keys_of(CFDictionaryRef values) {
    CFIndex count = CFDictionaryGetCount(values);
    std::vector<const void *> keys(static_cast<size_t>(count));
    CFDictionaryGetKeysAndValues(values, keys.data(), nullptr);
    return {reinterpret_cast<CFStringRef const *>(keys.data()), reinterpret_cast<CFStringRef const *>(keys.data()) + count};
}

// Replaces the whole domain with values.
int replace_domain(const Domain &domain, CFDictionaryRef values) {
    auto loaded = load_for_change(domain);
    if (!loaded) return fail(loaded.message());
    std::vector<CFStringRef> gone;
    for (CFStringRef key : keys_of(loaded->values.get()))
        if (!CFDictionaryContainsKey(values, key)) gone.push_back(key);
    return apply(domain, values, gone);
}

// The value to store for -array-add and -dict-add: what is there, extended.
Result<CFRef<CFPropertyListRef>> merged(const Domain &domain, const std::string &key, CFPropertyListRef current,
                                        const ParsedValue &parsed) {
    if (parsed.kind == WriteKind::ArrayAdd) {
        if (current && CFGetTypeID(current) != CFArrayGetTypeID())
            return Failure("cannot add to " + key + " in domain " + domain.label() + ": it is a " +
                           value_type_name(current) + ", not an array");
        auto array = CFRef<CFMutableArrayRef>::adopt(
            current ? CFArrayCreateMutableCopy(kCFAllocatorDefault, 0, static_cast<CFArrayRef>(current))
                    : CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks));
        auto added = static_cast<CFArrayRef>(parsed.value);
        for (CFIndex i = 0; i < CFArrayGetCount(added); ++i) CFArrayAppendValue(array.get(), CFArrayGetValueAtIndex(added, i));
        return CFRef<CFPropertyListRef>::adopt(array.release());
    }
    if (current && CFGetTypeID(current) != CFDictionaryGetTypeID())
        return Failure("cannot add to " + key + " in domain " + domain.label() + ": it is a " +
                       value_type_name(current) + ", not a dictionary");
    auto dictionary = CFRef<CFMutableDictionaryRef>::adopt(
        current ? CFDictionaryCreateMutableCopy(kCFAllocatorDefault, 0, static_cast<CFDictionaryRef>(current))
                : CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    auto added = static_cast<CFDictionaryRef>(parsed.value);
    for (CFStringRef added_key : keys_of(added))
        CFDictionarySetValue(dictionary.get(), added_key, CFDictionaryGetValue(added, added_key));
    return CFRef<CFPropertyListRef>::adopt(dictionary.release());
}

// `write DOMAIN '{key = value; ...}'`: the text becomes the whole domain.
int write_whole_domain(const Domain &domain, const std::string &text) {
    auto value = parse_old_style(text);
    if (!value) return fail("could not parse " + shown_text(text) + " as property-list text: " + value.message());
    if (CFGetTypeID(value->get()) != CFDictionaryGetTypeID())
        return fail("writing a whole domain needs a dictionary, not " + shown_text(text));
    return replace_domain(domain, static_cast<CFDictionaryRef>(value->get()));
}

// The bytes to import: a file (a link, a pipe or a device as much as a
// regular file: the user named it) or standard input, read to its end but
// never past the property-list limit, so an endless source stops there.
Result<std::string> read_input(const std::string &path) {
    if (path == "-") return fileio::read_to_end(STDIN_FILENO, kLargestPropertyList);
    int fd = open(path.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return Failure(strerror(errno));
    struct stat info {};
    Result<std::string> bytes = Failure(strerror(EISDIR));
    if (fstat(fd, &info) != 0)
        bytes = Failure(strerror(errno));
    else if (S_ISREG(info.st_mode) && static_cast<unsigned long long>(info.st_size) > kLargestPropertyList)
        bytes = Failure("too large: more than " + fileio::size_text(kLargestPropertyList));
    else if (!S_ISDIR(info.st_mode))
        bytes = fileio::read_to_end(fd, kLargestPropertyList);
    close(fd);
    return bytes;
}

}  // namespace

int verb_write(const Words &args, const Scope &scope) {
    if (args.size() < 2) return usage_error("write needs a domain, a key and a value");
    auto domain = Domain::resolve(args[0], scope);
    if (!domain) return fail(domain.message());
    if (args.size() == 2) return write_whole_domain(*domain, args[1]);
    ParsedValue parsed = parse_value({args.begin() + 2, args.end()});
    auto value = CFRef<CFPropertyListRef>::adopt(parsed.value);
    if (!value) return fail(parsed.error);
    auto loaded = load_for_change(*domain);
    if (!loaded) return fail(loaded.message());
    auto key = CFStringFromUTF8(args[1]);
    if (parsed.kind != WriteKind::Replace) {
        auto extended = merged(*domain, args[1], CFDictionaryGetValue(loaded->values.get(), key.get()), parsed);
        if (!extended) return fail(extended.message());
        value = *extended;
    }
    auto set = empty_dictionary();
    CFDictionarySetValue(set.get(), key.get(), value.get());
    return apply(*domain, set.get(), {});
}

int verb_rename(const Words &args, const Scope &scope) {
    if (args.size() != 3) return usage_error("rename needs a domain, the old key and the new key");
    auto domain = Domain::resolve(args[0], scope);
    if (!domain) return fail(domain.message());
    Loaded loaded = domain->load();
    if (!loaded.values) return fail(loaded.error);
    auto old_key = CFStringFromUTF8(args[1]);
    const void *value = CFDictionaryGetValue(loaded.values.get(), old_key.get());
    if (!value) return fail("the key " + args[1] + " does not exist in domain " + domain->label());
    auto set = empty_dictionary();
    CFDictionarySetValue(set.get(), CFStringFromUTF8(args[2]).get(), value);
    if (args[1] == args[2]) return apply(*domain, set.get(), {});
    return apply(*domain, set.get(), {old_key.get()});
}

int verb_delete(const Words &args, const Scope &scope) {
    if (args.empty() || args.size() > 2) return usage_error("delete needs a domain and, optionally, a key");
    auto domain = Domain::resolve(args[0], scope);
    if (!domain) return fail(domain.message());
    Loaded loaded = domain->load();
    if (!loaded.values) return fail(loaded.error);
    if (!loaded.exists) return fail("domain " + domain->label() + " does not exist");
    if (args.size() == 1) return apply(*domain, nullptr, keys_of(loaded.values.get()));
    auto key = CFStringFromUTF8(args[1]);
    if (!CFDictionaryContainsKey(loaded.values.get(), key.get()))
        return fail("the key " + args[1] + " does not exist in domain " + domain->label());
    return apply(*domain, nullptr, {key.get()});
}

int verb_import(const Words &args, const Scope &scope) {
    if (args.size() != 2) return usage_error("import needs a domain and a file (or -)");
    auto domain = Domain::resolve(args[0], scope);
    if (!domain) return fail(domain.message());
    std::string from = args[1] == "-" ? "standard input" : args[1];
    auto bytes = read_input(args[1]);
    if (!bytes) return fail("could not import " + from + ": " + bytes.message());
    auto data = CFRef<CFDataRef>::adopt(CFDataCreate(
        kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(bytes->data()), static_cast<CFIndex>(bytes->size())));
    // Read as the store reads a domain, so that an entry beyond the limits
    // is found and refused here rather than left out without a word.
    CFIndex omitted = 0;
    auto values = CFRef<CFDictionaryRef>::adopt(data ? CFPreferencesCreateDomainWithData(data.get(), &omitted) : nullptr);
    if (!values) {
        auto value = CFRef<CFPropertyListRef>::adopt(
            data ? CFPropertyListCreateWithData(kCFAllocatorDefault, data.get(), 0, nullptr, nullptr) : nullptr);
        if (value && CFGetTypeID(value.get()) != CFDictionaryGetTypeID())
            return fail("could not import " + from + ": its top level is a " + value_type_name(value.get()) +
                        ", not a dictionary");
        return fail("could not import " + from + ": it is not a property list (XML or binary)");
    }
    if (omitted > 0)
        return fail("could not import " + from + ": " + std::to_string(omitted) +
                    (omitted == 1 ? " entry is" : " entries are") +
                    " nested deeper than the property-list limit (512)");
    return replace_domain(*domain, values.get());
}
