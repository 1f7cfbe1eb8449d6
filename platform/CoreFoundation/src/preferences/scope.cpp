#include "preferences/scope.h"

#include "string_internal.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

namespace cfprefs {
namespace {

enum class User { Current, Any };
enum class Host { Current, Any };

// The scope constants are compared by identity first; a string with the
// same text is accepted too, as the real service does for its own names.
bool is_constant(CFStringRef value, CFStringRef constant) {
    return value == constant || (value && CFEqual(value, constant));
}

std::optional<User> user_of(CFStringRef user) {
    if (is_constant(user, kCFPreferencesCurrentUser)) return User::Current;
    if (is_constant(user, kCFPreferencesAnyUser)) return User::Any;
    return std::nullopt;
}

std::optional<Host> host_of(CFStringRef host) {
    if (is_constant(host, kCFPreferencesCurrentHost)) return Host::Current;
    if (is_constant(host, kCFPreferencesAnyHost)) return Host::Any;
    return std::nullopt;
}

bool is_safe_file_name(const std::string &name) {
    if (name.empty() || name.size() > 200 || name[0] == '.') return false;
    for (unsigned char c : name)
        if (c == '/' || c < 0x20 || c == 0x7f) return false;
    return true;
}

std::optional<std::string> domain_name(CFStringRef domain) {
    if (!domain || CFGetTypeID(domain) != CFStringGetTypeID()) return std::nullopt;
    if (is_constant(domain, kCFPreferencesAnyApplication)) return std::string(".GlobalPreferences");
    std::string name = cf::string_utf8(domain);
    if (!is_safe_file_name(name)) return std::nullopt;
    return name;
}

std::string home_directory() {
    const char *home = getenv("HOME");
    if (home && *home) return home;
    if (const passwd *entry = getpwuid(getuid())) return entry->pw_dir;
    return "/";
}

std::string system_directory() {
    const char *dir = getenv("CFPREFERENCES_SYSTEM_DIR");
    return dir && *dir ? dir : "/Library/Preferences";
}

}  // namespace

std::string host_identifier() {
    std::ifstream machine_id("/etc/machine-id");
    std::string id;
    if (machine_id >> id && !id.empty()) return id;
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) == 0 && name[0]) return name;
    return "localhost";
}

std::optional<std::string> domain_directory(CFStringRef user, CFStringRef host) {
    auto who = user_of(user);
    auto where = host_of(host);
    if (!who || !where) return std::nullopt;
    std::string dir = *who == User::Current ? home_directory() + "/Library/Preferences" : system_directory();
    return *where == Host::Any ? dir : dir + "/ByHost";
}

std::optional<std::string> domain_file_path(CFStringRef domain, CFStringRef user, CFStringRef host) {
    auto name = domain_name(domain);
    auto dir = domain_directory(user, host);
    if (!name || !dir) return std::nullopt;
    if (host_of(host) == Host::Any) return *dir + "/" + *name + ".plist";
    return *dir + "/" + *name + "." + host_identifier() + ".plist";
}

}  // namespace cfprefs
