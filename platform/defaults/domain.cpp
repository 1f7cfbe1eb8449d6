#include "domain.h"

#include "domain_file.h"

#include <CFText.h>
#include <CoreFoundation/CFPreferencesPrivate.h>

#include <FileIO/durable_file.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <dirent.h>

namespace {

// The store's own naming of this machine, so that -currentHost finds the
// files the store writes.
std::string this_host() {
    auto identifier = CFRef<CFStringRef>::adopt(CFPreferencesCopyHostIdentifier());
    return UTF8FromCFString(identifier.get());
}

// Where the store keeps the scope's files; another host's files (-host)
// lie beside this one's.
std::string scope_directory(const Scope &scope) {
    bool by_host = !scope.host_name.empty() || CFEqual(scope.host, kCFPreferencesCurrentHost);
    auto dir = CFRef<CFStringRef>::adopt(
        CFPreferencesCopyDomainDirectory(scope.user, by_host ? kCFPreferencesCurrentHost : kCFPreferencesAnyHost));
    return UTF8FromCFString(dir.get());
}

// ".plist", or ".HOST.plist" for a host's own files.
std::string file_suffix(const Scope &scope) {
    if (!scope.host_name.empty()) return "." + scope.host_name + ".plist";
    if (CFEqual(scope.host, kCFPreferencesCurrentHost)) return "." + this_host() + ".plist";
    return ".plist";
}

bool is_global_name(const std::string &name) {
    return name == "-g" || name == "-globalDomain" || name == "NSGlobalDomain" || name == ".GlobalPreferences";
}

// A domain name is a file name in the preferences directory.
const char *why_refused(const std::string &name) {
    if (name.empty()) return "a domain name cannot be empty";
    if (name.size() > 200) return "a domain name is at most 200 bytes";
    for (unsigned char c : name) {
        if (c == '/') return "a domain name cannot hold '/' (name a file by an absolute path or one ending in .plist)";
        if (c < 0x20 || c == 0x7f) return "a domain name cannot hold control characters";
    }
    if (name[0] == '.') return "a domain name cannot start with '.'";
    return nullptr;
}

CFRef<CFMutableDictionaryRef> mutable_copy(CFDictionaryRef values) {
    if (values)
        return CFRef<CFMutableDictionaryRef>::adopt(CFDictionaryCreateMutableCopy(kCFAllocatorDefault, 0, values));
    return CFRef<CFMutableDictionaryRef>::adopt(CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
}

std::vector<CFStringRef> keys_of(CFDictionaryRef values) {
    CFIndex count = CFDictionaryGetCount(values);
    std::vector<const void *> keys(static_cast<size_t>(count));
    CFDictionaryGetKeysAndValues(values, keys.data(), nullptr);
    std::vector<CFStringRef> strings;
    for (const void *key : keys) strings.push_back(static_cast<CFStringRef>(key));
    return strings;
}

void set_all(CFMutableDictionaryRef target, CFDictionaryRef source) {
    CFIndex count = CFDictionaryGetCount(source);
    std::vector<const void *> keys(static_cast<size_t>(count)), values(static_cast<size_t>(count));
    CFDictionaryGetKeysAndValues(source, keys.data(), values.data());
    for (size_t i = 0; i < keys.size(); ++i) CFDictionarySetValue(target, keys[i], values[i]);
}

// The store waits this long for a domain's lock; so does a direct write.
constexpr std::chrono::milliseconds kLongestLockWait{10000};

std::string why_cannot_be_stored(CFPropertyListRef value) {
    auto why = CFRef<CFStringRef>::adopt(CFPreferencesCopyWhyValueCannotBeStored(value));
    return why ? UTF8FromCFString(why.get()) : std::string();
}

}  // namespace

Result<Domain> Domain::resolve(const std::string &argument, const Scope &scope) {
    Domain domain;
    domain.scope_ = scope;
    domain.label_ = argument;
    if (argument.starts_with('/') || argument.ends_with(".plist")) {
        domain.file_ = argument.ends_with(".plist") ? argument : argument + ".plist";
        return domain;
    }
    std::string name = argument;
    if (is_global_name(argument)) {
        domain.label_ = "NSGlobalDomain";
        name = ".GlobalPreferences";
        domain.name_ = CFRef<CFStringRef>::retain(kCFPreferencesAnyApplication);
    } else if (const char *why = why_refused(argument)) {
        return Failure("refused domain name " + argument + ": " + why);
    } else {
        domain.name_ = CFStringFromUTF8(argument);
    }
    domain.file_ = scope_directory(scope) + "/" + name + file_suffix(scope);
    // Another host's file is not one the store serves: it is used directly.
    if (!scope.host_name.empty()) {
        domain.name_ = {};
        domain.make_directory_ = true;
    }
    return domain;
}

Loaded Domain::load() const {
    Loaded loaded;
    FileLook look = look_at_file(file_);
    switch (look.state) {
    case FileState::Unreadable:
        loaded.error = "could not read domain " + label_ + " from " + file_ + ": " + look.reason;
        loaded.read_error = look.error;
        return loaded;
    case FileState::TooLarge:
        loaded.not_property_list = true;
        loaded.error = "domain " + label_ + ": " + file_ + " is " + look.reason;
        return loaded;
    case FileState::NotPropertyList:
        loaded.not_property_list = true;
        loaded.error = "domain " + label_ + ": " + file_ + " is not a property list";
        return loaded;
    case FileState::Missing:
    case FileState::PropertyList:
        break;
    }
    if (look.omitted > 0) loaded.note = omitted_note(label_, file_, look.omitted);
    if (name_) {
        loaded.values = CFRef<CFDictionaryRef>::adopt(CFPreferencesCopyMultiple(nullptr, name_.get(), scope_.user, scope_.host));
    } else {
        loaded.values = CFRef<CFDictionaryRef>::adopt(mutable_copy(look.values.get()).release());
    }
    if (!loaded.values) {
        loaded.error = "could not read domain " + label_;
        return loaded;
    }
    loaded.exists = CFDictionaryGetCount(loaded.values.get()) > 0;
    return loaded;
}

Result<std::string> Domain::apply(CFDictionaryRef set, const std::vector<CFStringRef> &remove) const {
    if (name_) return apply_to_store(set, remove);
    Status written = apply_to_file(set, remove);
    if (!written) return written.failure();
    return std::string();
}

Result<std::string> Domain::apply_to_store(CFDictionaryRef set, const std::vector<CFStringRef> &remove) const {
    FileLook before = look_at_file(file_);
    if (before.state == FileState::Unreadable && before.error != ENOTDIR)
        return Failure("could not write domain " + label_ + " to " + file_ + ": the file cannot be read (" +
                       before.reason + ")");
    std::set<std::string> aside_before = kept_aside_copies(file_);
    std::vector<const void *> removed(remove.begin(), remove.end());
    auto keys = CFRef<CFArrayRef>::adopt(
        CFArrayCreate(kCFAllocatorDefault, removed.data(), static_cast<CFIndex>(removed.size()), &kCFTypeArrayCallBacks));
    CFPreferencesSetMultiple(set, keys.get(), name_.get(), scope_.user, scope_.host);
    if (!CFPreferencesSynchronize(name_.get(), scope_.user, scope_.host)) {
        auto why = CFRef<CFStringRef>::adopt(CFPreferencesCopySynchronizeFailure(name_.get(), scope_.user, scope_.host));
        return Failure("could not write domain " + label_ + " to " + file_ + ": " +
                       (why ? UTF8FromCFString(why.get()) : std::string("the preference store refused the write")));
    }
    // The store kept a file it could not read whole aside before replacing it.
    std::string was;
    if (before.state == FileState::NotPropertyList) was = "was not a property list";
    if (before.state == FileState::TooLarge) was = "was " + before.reason;
    if (before.omitted > 0)
        was = "held " + std::to_string(before.omitted) + (before.omitted == 1 ? " entry" : " entries") +
              " nested deeper than the property-list limit (512)";
    if (was.empty()) return std::string();
    std::string kept;
    for (const std::string &name : kept_aside_copies(file_))
        if (!aside_before.count(name)) kept = name;
    return "domain " + label_ + ": " + file_ + " " + was + "; " +
           (kept.empty() ? std::string("it was replaced") : "the old file was kept as " + kept);
}

Status Domain::apply_to_file(CFDictionaryRef set, const std::vector<CFStringRef> &remove) const {
    auto failed = [&](const std::string &why) {
        return Failure("could not write domain " + label_ + " to " + file_ + ": " + why);
    };
    if (make_directory_) {
        if (Status made = fileio::make_directories(directory_of(file_), 0700); !made) return failed(made.message());
    }
    // The store's own lock, so a file written directly never interleaves
    // with the store's writers; taking it clears a killed writer's leftovers.
    auto lock = fileio::WriterLock::take(file_, kLongestLockWait);
    if (!lock) return failed(lock.message());
    FileLook look = look_at_file(file_);
    switch (look.state) {
    case FileState::Unreadable: return failed("the file cannot be read (" + look.reason + ")");
    case FileState::NotPropertyList: return failed("the file is not a property list; it was left as it is");
    case FileState::TooLarge: return failed("the file is " + look.reason + "; it was left as it is");
    case FileState::Missing:
    case FileState::PropertyList: break;
    }
    if (look.omitted > 0)
        return failed("the file holds " + std::to_string(look.omitted) +
                      (look.omitted == 1 ? " entry" : " entries") +
                      " nested deeper than the property-list limit (512); it was left as it is");
    auto values = mutable_copy(look.values.get());
    if (set) set_all(values.get(), set);
    for (CFStringRef key : remove) CFDictionaryRemoveValue(values.get(), key);
    // XML, or binary when XML cannot carry a value's text, as the store writes.
    auto data = CFRef<CFDataRef>::adopt(
        CFPropertyListCreateData(kCFAllocatorDefault, values.get(), kCFPropertyListXMLFormat_v1_0, 0, nullptr));
    if (!data)
        data = CFRef<CFDataRef>::adopt(
            CFPropertyListCreateData(kCFAllocatorDefault, values.get(), kCFPropertyListBinaryFormat_v1_0, 0, nullptr));
    if (!data) {
        if (set) {
            for (CFStringRef key : keys_of(set)) {
                std::string why = why_cannot_be_stored(CFDictionaryGetValue(set, key));
                if (!why.empty()) return failed("the value of key " + UTF8FromCFString(key) + " cannot be stored: " + why);
            }
        }
        return failed("the values cannot be written as a property list");
    }
    std::string_view bytes(reinterpret_cast<const char *>(CFDataGetBytePtr(data.get())),
                           static_cast<size_t>(CFDataGetLength(data.get())));
    // A rewrite keeps the file's permissions; a new file is the user's alone.
    mode_t mode = look.permissions ? look.permissions : 0600;
    auto written = fileio::write_file_durably(file_, bytes, mode);
    if (!written) return failed(written.message());
    return Status::success();
}

std::vector<std::string> domain_names(const Scope &scope) {
    std::vector<std::string> names;
    std::string suffix = file_suffix(scope);
    DIR *listing = opendir(scope_directory(scope).c_str());
    if (!listing) return names;
    while (const dirent *entry = readdir(listing)) {
        std::string file = entry->d_name;
        if (file.starts_with('.') || !file.ends_with(suffix) || file.size() == suffix.size()) continue;
        names.push_back(file.substr(0, file.size() - suffix.size()));
    }
    closedir(listing);
    std::sort(names.begin(), names.end());
    return names;
}
