// The verbs that only read: read, read-type, domains, find, export.
#include "verbs.h"

#include "value_text.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <strings.h>

namespace {

// The domain's values; a domain with nothing in it does not exist. Entries
// left out of the file's reading are told on the way.
Result<CFRef<CFDictionaryRef>> existing_values(const Domain &domain) {
    Loaded loaded = domain.load();
    if (!loaded.values) return Failure(loaded.error);
    tell(loaded.note);
    if (!loaded.exists) return Failure("domain " + domain.label() + " does not exist");
    return loaded.values;
}

// The value of key in the domain the argument names.
Result<CFRef<CFPropertyListRef>> existing_value(const std::string &argument, const std::string &key,
                                                const Scope &scope) {
    auto domain = Domain::resolve(argument, scope);
    if (!domain) return domain.failure();
    auto values = existing_values(*domain);
    if (!values) return values.failure();
    const void *value = CFDictionaryGetValue(values->get(), CFStringFromUTF8(key).get());
    if (!value) return Failure("the key " + key + " does not exist in domain " + domain->label());
    return CFRef<CFPropertyListRef>::retain(value);
}

bool contains_word(const std::string &text, const std::string &word) {
    return strcasestr(text.c_str(), word.c_str()) != nullptr;
}

bool value_mentions(CFPropertyListRef value, const std::string &word) {
    CFTypeID type = CFGetTypeID(value);
    if (type == CFStringGetTypeID()) return contains_word(UTF8FromCFString(static_cast<CFStringRef>(value)), word);
    if (type == CFArrayGetTypeID()) {
        auto array = static_cast<CFArrayRef>(value);
        for (CFIndex i = 0; i < CFArrayGetCount(array); ++i)
            if (value_mentions(CFArrayGetValueAtIndex(array, i), word)) return true;
        return false;
    }
    if (type == CFDictionaryGetTypeID()) {
        auto dictionary = static_cast<CFDictionaryRef>(value);
        CFIndex count = CFDictionaryGetCount(dictionary);
        std::vector<const void *> keys(static_cast<size_t>(count)), values(static_cast<size_t>(count));
        CFDictionaryGetKeysAndValues(dictionary, keys.data(), values.data());
        for (size_t i = 0; i < keys.size(); ++i)
            if (value_mentions(keys[i], word) || value_mentions(values[i], word)) return true;
    }
    return false;
}

// The keys of values whose name or value mentions word; all of them when
// the domain's own name does.
CFRef<CFMutableDictionaryRef> matches(const std::string &domain, CFDictionaryRef values, const std::string &word) {
    auto found = CFRef<CFMutableDictionaryRef>::adopt(CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    CFIndex count = CFDictionaryGetCount(values);
    std::vector<const void *> keys(static_cast<size_t>(count)), items(static_cast<size_t>(count));
    CFDictionaryGetKeysAndValues(values, keys.data(), items.data());
    bool whole = contains_word(domain, word);
    for (size_t i = 0; i < keys.size(); ++i)
        if (whole || value_mentions(keys[i], word) || value_mentions(items[i], word))
            CFDictionarySetValue(found.get(), keys[i], items[i]);
    return found;
}

// Every domain of the scope, the global domain first, by label.
std::vector<std::string> every_domain(const Scope &scope) {
    std::vector<std::string> all{"NSGlobalDomain"};
    for (const std::string &name : domain_names(scope)) all.push_back(name);
    return all;
}

int read_everything(const Scope &scope) {
    auto all = CFRef<CFMutableDictionaryRef>::adopt(CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    int status = 0;
    for (const std::string &name : every_domain(scope)) {
        auto domain = Domain::resolve(name, scope);
        if (!domain) continue;  // a file whose name no domain can have
        Loaded loaded = domain->load();
        if (!loaded.values) {
            tell(loaded.error);
            status = 1;
            continue;
        }
        tell(loaded.note);
        if (loaded.exists) CFDictionarySetValue(all.get(), CFStringFromUTF8(name).get(), loaded.values.get());
    }
    printf("%s\n", value_text(all.get()).c_str());
    return status;
}

// A line of text that may hold U+0000: printed whole, not cut there.
void print_line(const std::string &text) {
    fwrite(text.data(), 1, text.size(), stdout);
    fputc('\n', stdout);
}

bool write_bytes(FILE *to, CFDataRef data) {
    size_t size = static_cast<size_t>(CFDataGetLength(data));
    return fwrite(CFDataGetBytePtr(data), 1, size, to) == size;
}

}  // namespace

int verb_read(const Words &args, const Scope &scope) {
    if (args.size() > 2) return usage_error("read takes at most a domain and a key");
    if (args.empty()) return read_everything(scope);
    if (args.size() == 2) {
        auto value = existing_value(args[0], args[1], scope);
        if (!value) return fail(value.message());
        print_line(value_text_bare(value->get()));
        return 0;
    }
    auto domain = Domain::resolve(args[0], scope);
    if (!domain) return fail(domain.message());
    auto values = existing_values(*domain);
    if (!values) return fail(values.message());
    print_line(value_text(values->get()));
    return 0;
}

int verb_read_type(const Words &args, const Scope &scope) {
    if (args.size() != 2) return usage_error("read-type needs a domain and a key");
    auto value = existing_value(args[0], args[1], scope);
    if (!value) return fail(value.message());
    printf("Type is %s\n", value_type_name(value->get()).c_str());
    return 0;
}

int verb_domains(const Words &args, const Scope &scope) {
    if (!args.empty()) return usage_error("domains takes no arguments");
    std::string line;
    for (const std::string &name : domain_names(scope)) line += (line.empty() ? "" : ", ") + name;
    printf("%s\n", line.c_str());
    return 0;
}

int verb_find(const Words &args, const Scope &scope) {
    if (args.size() != 1) return usage_error("find needs one word");
    bool any = false;
    for (const std::string &name : every_domain(scope)) {
        auto domain = Domain::resolve(name, scope);
        if (!domain) continue;
        Loaded loaded = domain->load();
        if (!loaded.values) continue;
        auto found = matches(name, loaded.values.get(), args[0]);
        CFIndex count = CFDictionaryGetCount(found.get());
        if (count == 0) continue;
        any = true;
        printf("Found %ld keys in domain '%s': %s\n", static_cast<long>(count), name.c_str(),
               value_text(found.get()).c_str());
    }
    if (!any) printf("No domain, key, nor value containing '%s'\n", args[0].c_str());
    return 0;
}

int verb_export(const Words &args, const Scope &scope) {
    if (args.size() != 2) return usage_error("export needs a domain and a file (or -)");
    auto domain = Domain::resolve(args[0], scope);
    if (!domain) return fail(domain.message());
    auto values = existing_values(*domain);
    if (!values) return fail(values.message());
    auto data = CFRef<CFDataRef>::adopt(
        CFPropertyListCreateData(kCFAllocatorDefault, values->get(), kCFPropertyListXMLFormat_v1_0, 0, nullptr));
    if (!data) {
        // Text XML cannot carry (control characters): binary keeps it, as
        // the store's own file does.
        data = CFRef<CFDataRef>::adopt(CFPropertyListCreateData(kCFAllocatorDefault, values->get(),
                                                                kCFPropertyListBinaryFormat_v1_0, 0, nullptr));
        if (!data) return fail("could not export domain " + domain->label() + ": it holds a value no property list can");
        tell("domain " + domain->label() + " holds text XML cannot carry; it is exported as a binary property list");
    }
    if (args[1] == "-") return write_bytes(stdout, data.get()) && fflush(stdout) == 0 ? 0 : fail("could not write standard output: " + std::string(strerror(errno)));
    FILE *file = fopen(args[1].c_str(), "wb");
    if (!file) return fail("could not export domain " + domain->label() + " to " + args[1] + ": " + strerror(errno));
    bool written = write_bytes(file, data.get());
    if (fclose(file) != 0 || !written)
        return fail("could not export domain " + domain->label() + " to " + args[1] + ": " + strerror(errno));
    return 0;
}
