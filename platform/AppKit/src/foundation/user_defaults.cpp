// NSUserDefaults over the preference service.
#include <Foundation/NSDictionary.h>
#include <Foundation/NSString.h>
#include <Foundation/NSUserDefaults.h>

#include <CFRef.h>

NS_REGISTER_CLASS(NSUserDefaults, NSObject)
NS_SELECTORS(NSUserDefaults, "persistentDomainForName:")

NSUserDefaults *NSUserDefaults::standardUserDefaults() {
    static NSUserDefaults *shared = [] {
        NSUserDefaults *defaults = new_();
        defaults->becomeImmortal();
        return defaults;
    }();
    return shared;
}

NSDictionary *NSUserDefaults::persistentDomainForName(NSString *domainName) {
    if (!domainName) return nil;
    CFRef<CFDictionaryRef> domain = CFRef<CFDictionaryRef>::adopt(CFPreferencesCopyMultiple(
        nullptr, domainName->cfString(), kCFPreferencesCurrentUser, kCFPreferencesAnyHost));
    if (!domain || CFDictionaryGetCount(domain.get()) == 0) return nil;
    return NSDictionary::dictionaryWithCFDictionary(domain.get());
}
