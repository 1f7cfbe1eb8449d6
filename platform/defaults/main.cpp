// defaults: reads and writes preference domains from the command line.
//
//   defaults [-currentHost] [-anyUser] read [DOMAIN [KEY]]
//   defaults [-currentHost] [-anyUser] read-type DOMAIN KEY
//   defaults [-currentHost] [-anyUser] write DOMAIN KEY [-string|-int|-float|-double|-bool] VALUE
//   defaults [-currentHost] [-anyUser] write DOMAIN KEY -array [[-TYPE] ITEM]...
//   defaults [-currentHost] [-anyUser] delete DOMAIN [KEY]
#include "value_parse.h"
#include "value_text.h"

#include <CFRef.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Scope {
    CFStringRef user = kCFPreferencesCurrentUser;
    CFStringRef host = kCFPreferencesAnyHost;
};

using Words = std::vector<std::string>;

int usage() {
    fprintf(stderr,
            "usage: defaults [-currentHost] [-anyUser] read [DOMAIN [KEY]]\n"
            "       defaults [-currentHost] [-anyUser] read-type DOMAIN KEY\n"
            "       defaults [-currentHost] [-anyUser] write DOMAIN KEY [-string|-int|-float|-double|-bool] VALUE\n"
            "       defaults [-currentHost] [-anyUser] write DOMAIN KEY -array [[-TYPE] ITEM]...\n"
            "       defaults [-currentHost] [-anyUser] delete DOMAIN [KEY]\n");
    return 2;
}

CFRef<CFStringRef> cf_string(const std::string &text) {
    return CFRef<CFStringRef>::adopt(CFStringCreateWithCString(kCFAllocatorDefault, text.c_str(), kCFStringEncodingUTF8));
}

// The whole domain, or NULL when it holds nothing.
CFRef<CFDictionaryRef> copy_domain(CFStringRef domain, const Scope &scope) {
    auto all = CFRef<CFDictionaryRef>::adopt(CFPreferencesCopyMultiple(nullptr, domain, scope.user, scope.host));
    if (all && CFDictionaryGetCount(all.get()) == 0) return {};
    return all;
}

int no_domain(const std::string &domain) {
    fprintf(stderr, "defaults: domain %s does not exist\n", domain.c_str());
    return 1;
}

int no_key(const std::string &domain, const std::string &key) {
    fprintf(stderr, "defaults: the key %s does not exist in domain %s\n", key.c_str(), domain.c_str());
    return 1;
}

int bad_name(const std::string &what) {
    fprintf(stderr, "defaults: not a valid name: %s\n", what.c_str());
    return 1;
}

int synchronize(CFStringRef domain, const std::string &name, const Scope &scope) {
    if (CFPreferencesSynchronize(domain, scope.user, scope.host)) return 0;
    fprintf(stderr, "defaults: could not write domain %s to storage\n", name.c_str());
    return 1;
}

int read(const Words &args, const Scope &scope) {
    if (args.size() > 2) return usage();
    if (args.empty()) {
        fprintf(stderr, "defaults: name a domain to read\n");
        return 2;
    }
    auto domain = cf_string(args[0]);
    if (!domain) return bad_name(args[0]);
    auto all = copy_domain(domain.get(), scope);
    if (!all) return no_domain(args[0]);
    if (args.size() == 1) {
        printf("%s\n", value_text(all.get()).c_str());
        return 0;
    }
    auto key = cf_string(args[1]);
    const void *value = key ? CFDictionaryGetValue(all.get(), key.get()) : nullptr;
    if (!value) return no_key(args[0], args[1]);
    printf("%s\n", value_text(value).c_str());
    return 0;
}

int read_type(const Words &args, const Scope &scope) {
    if (args.size() != 2) return usage();
    auto domain = cf_string(args[0]);
    auto key = cf_string(args[1]);
    if (!domain || !key) return bad_name(args[0] + " " + args[1]);
    auto value = CFRef<CFPropertyListRef>::adopt(CFPreferencesCopyValue(key.get(), domain.get(), scope.user, scope.host));
    if (!value) return copy_domain(domain.get(), scope) ? no_key(args[0], args[1]) : no_domain(args[0]);
    printf("Type is %s\n", value_type_name(value.get()).c_str());
    return 0;
}

int write(const Words &args, const Scope &scope) {
    if (args.size() < 3) return usage();
    auto domain = cf_string(args[0]);
    auto key = cf_string(args[1]);
    if (!domain || !key) return bad_name(args[0] + " " + args[1]);
    ParsedValue parsed = parse_value({args.begin() + 2, args.end()});
    if (!parsed.value) {
        fprintf(stderr, "defaults: %s\n", parsed.error.c_str());
        return 1;
    }
    auto value = CFRef<CFPropertyListRef>::adopt(parsed.value);
    CFPreferencesSetValue(key.get(), value.get(), domain.get(), scope.user, scope.host);
    return synchronize(domain.get(), args[0], scope);
}

int remove(const Words &args, const Scope &scope) {
    if (args.empty() || args.size() > 2) return usage();
    auto domain = cf_string(args[0]);
    if (!domain) return bad_name(args[0]);
    auto all = copy_domain(domain.get(), scope);
    if (!all) return no_domain(args[0]);
    if (args.size() == 2) {
        auto key = cf_string(args[1]);
        if (!key || !CFDictionaryContainsKey(all.get(), key.get())) return no_key(args[0], args[1]);
        CFPreferencesSetValue(key.get(), nullptr, domain.get(), scope.user, scope.host);
    } else {
        auto keys = CFRef<CFArrayRef>::adopt(CFPreferencesCopyKeyList(domain.get(), scope.user, scope.host));
        CFPreferencesSetMultiple(nullptr, keys.get(), domain.get(), scope.user, scope.host);
    }
    return synchronize(domain.get(), args[0], scope);
}

}  // namespace

int main(int argc, char **argv) {
    Words args(argv + 1, argv + argc);
    Scope scope;
    size_t first = 0;
    for (; first < args.size() && args[first][0] == '-'; ++first) {
        if (args[first] == "-currentHost")
            scope.host = kCFPreferencesCurrentHost;
        else if (args[first] == "-anyUser")
            scope.user = kCFPreferencesAnyUser;
        else
            return usage();
    }
    if (first == args.size()) return usage();
    const std::string verb = args[first];
    Words rest(args.begin() + static_cast<long>(first) + 1, args.end());
    if (verb == "read") return read(rest, scope);
    if (verb == "read-type") return read_type(rest, scope);
    if (verb == "write") return write(rest, scope);
    if (verb == "delete") return remove(rest, scope);
    return usage();
}
