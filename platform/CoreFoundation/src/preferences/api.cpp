// The CFPreferences calls: scope resolution, then the domain's file.
#include "preferences/scope.h"
#include "preferences/store.h"
#include "string_internal.h"

#include <CFText.h>
#include <CoreFoundation/CFPreferencesPrivate.h>
#include <CoreFoundation/CFTesting.h>

#include <optional>
#include <string>
#include <vector>

extern "C" {
const CFStringRef kCFPreferencesAnyApplication = cf::make_immortal_string("kCFPreferencesAnyApplication");
const CFStringRef kCFPreferencesCurrentApplication =
    cf::make_immortal_string("kCFPreferencesCurrentApplication");
const CFStringRef kCFPreferencesAnyHost = cf::make_immortal_string("kCFPreferencesAnyHost");
const CFStringRef kCFPreferencesCurrentHost = cf::make_immortal_string("kCFPreferencesCurrentHost");
const CFStringRef kCFPreferencesAnyUser = cf::make_immortal_string("kCFPreferencesAnyUser");
const CFStringRef kCFPreferencesCurrentUser = cf::make_immortal_string("kCFPreferencesCurrentUser");
}

namespace {

bool is_string(CFTypeRef value) { return value && CFGetTypeID(value) == CFStringGetTypeID(); }

std::optional<std::string> key_name(CFStringRef key) {
    if (!is_string(key)) return std::nullopt;
    return std::string(cf::string_utf8(key));
}

}  // namespace

extern "C" {

CFPropertyListRef CFPreferencesCopyValue(CFStringRef key, CFStringRef applicationID,
                                         CFStringRef userName, CFStringRef hostName) {
    auto path = cfprefs::domain_file_path(applicationID, userName, hostName);
    auto name = key_name(key);
    if (!path || !name) return nullptr;
    return cfprefs::with_domain(*path, [&](cfprefs::DomainFile &domain) { return domain.copy_value(*name, key); });
}

CFDictionaryRef CFPreferencesCopyMultiple(CFArrayRef keysToFetch, CFStringRef applicationID,
                                          CFStringRef userName, CFStringRef hostName) {
    auto path = cfprefs::domain_file_path(applicationID, userName, hostName);
    if (!path) return nullptr;
    if (!keysToFetch)
        return cfprefs::with_domain(*path, [](cfprefs::DomainFile &domain) { return domain.copy_values(nullptr); });
    std::vector<std::string> names;
    for (CFIndex i = 0, count = CFArrayGetCount(keysToFetch); i < count; ++i)
        if (auto name = key_name(static_cast<CFStringRef>(CFArrayGetValueAtIndex(keysToFetch, i))))
            names.push_back(*name);
    return cfprefs::with_domain(*path, [&](cfprefs::DomainFile &domain) { return domain.copy_values(&names); });
}

CFArrayRef CFPreferencesCopyKeyList(CFStringRef applicationID, CFStringRef userName,
                                    CFStringRef hostName) {
    auto all = CFRef<CFDictionaryRef>::adopt(CFPreferencesCopyMultiple(nullptr, applicationID, userName, hostName));
    CFIndex count = all ? CFDictionaryGetCount(all.get()) : 0;
    if (count == 0) return nullptr;
    std::vector<const void *> keys(static_cast<size_t>(count));
    CFDictionaryGetKeysAndValues(all.get(), keys.data(), nullptr);
    return CFArrayCreate(kCFAllocatorDefault, keys.data(), count, &kCFTypeArrayCallBacks);
}

void CFPreferencesSetValue(CFStringRef key, CFPropertyListRef value, CFStringRef applicationID,
                           CFStringRef userName, CFStringRef hostName) {
    auto path = cfprefs::domain_file_path(applicationID, userName, hostName);
    auto name = key_name(key);
    if (!path || !name) return;
    // Checked here, once: a value that cannot be stored is kept pending with
    // the reason, and the next synchronize fails on it instead of reporting
    // the domain stored without it.
    std::string text;
    Status storable = value ? cfprefs::storable_value(value, text) : Status::success();
    cfprefs::with_domain(*path, [&](cfprefs::DomainFile &domain) {
        if (storable)
            domain.set_value(*name, value, std::move(text));
        else
            domain.set_unstorable_value(*name, value, storable.message());
    });
}

void CFPreferencesSetMultiple(CFDictionaryRef keysToSet, CFArrayRef keysToRemove,
                              CFStringRef applicationID, CFStringRef userName, CFStringRef hostName) {
    if (keysToSet) {
        CFIndex count = CFDictionaryGetCount(keysToSet);
        std::vector<const void *> keys(static_cast<size_t>(count)), values(static_cast<size_t>(count));
        CFDictionaryGetKeysAndValues(keysToSet, keys.data(), values.data());
        for (CFIndex i = 0; i < count; ++i)
            CFPreferencesSetValue(static_cast<CFStringRef>(keys[static_cast<size_t>(i)]),
                                  values[static_cast<size_t>(i)], applicationID, userName, hostName);
    }
    if (keysToRemove) {
        for (CFIndex i = 0, count = CFArrayGetCount(keysToRemove); i < count; ++i)
            CFPreferencesSetValue(static_cast<CFStringRef>(CFArrayGetValueAtIndex(keysToRemove, i)), nullptr,
                                  applicationID, userName, hostName);
    }
}

void CFPreferencesDiscardPendingValue(CFStringRef key, CFStringRef applicationID, CFStringRef userName,
                                       CFStringRef hostName) {
    auto path = cfprefs::domain_file_path(applicationID, userName, hostName);
    auto name = key_name(key);
    if (!path || !name) return;
    cfprefs::with_domain(*path, [&](cfprefs::DomainFile &domain) { domain.discard_change(*name); });
}

CFStringRef CFPreferencesCopyHostIdentifier(void) {
    return CFStringFromUTF8(cfprefs::host_identifier()).release();
}

CFStringRef CFPreferencesCopyDomainDirectory(CFStringRef userName, CFStringRef hostName) {
    auto dir = cfprefs::domain_directory(userName, hostName);
    return dir ? CFStringFromUTF8(*dir).release() : nullptr;
}

Boolean CFPreferencesSynchronize(CFStringRef applicationID, CFStringRef userName, CFStringRef hostName) {
    auto path = cfprefs::domain_file_path(applicationID, userName, hostName);
    if (!path) return false;
    return cfprefs::with_domain(*path, [](cfprefs::DomainFile &domain) { return domain.synchronize().ok(); });
}

CFStringRef CFPreferencesCopyWhyValueCannotBeStored(CFPropertyListRef value) {
    std::string text;
    Status storable = value ? cfprefs::storable_value(value, text) : Status(Failure("it is no value"));
    return storable ? nullptr : CFStringFromUTF8(storable.message()).release();
}

CFStringRef CFPreferencesCopySynchronizeFailure(CFStringRef applicationID, CFStringRef userName,
                                               CFStringRef hostName) {
    auto path = cfprefs::domain_file_path(applicationID, userName, hostName);
    if (!path) return CFStringFromUTF8("the domain, user or host is not one the preference service knows").release();
    std::string why = cfprefs::with_domain(*path, [](cfprefs::DomainFile &domain) { return domain.last_failure(); });
    return why.empty() ? nullptr : CFStringFromUTF8(why).release();
}

CFPropertyListRef CFPreferencesCopyAppValue(CFStringRef key, CFStringRef applicationID) {
    return CFPreferencesCopyValue(key, applicationID, kCFPreferencesCurrentUser, kCFPreferencesAnyHost);
}

void CFPreferencesSetAppValue(CFStringRef key, CFPropertyListRef value, CFStringRef applicationID) {
    CFPreferencesSetValue(key, value, applicationID, kCFPreferencesCurrentUser, kCFPreferencesAnyHost);
}

Boolean CFPreferencesAppSynchronize(CFStringRef applicationID) {
    return CFPreferencesSynchronize(applicationID, kCFPreferencesCurrentUser, kCFPreferencesAnyHost);
}

void CFTestingForgetPreferenceCaches(void) { cfprefs::forget_cached_files(); }

}  // extern "C"
