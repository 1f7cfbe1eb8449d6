// NSUserDefaults.h: the user's preference domains, over CFPreferences.
#pragma once

#include <Foundation/NSObject.h>

class NSDictionary;

class NS_EXPORT NSUserDefaults : public NSObject {
    NS_CLASS(NSUserDefaults, NSObject)

public:
    // Shared and immortal.
    static NSUserDefaults *standardUserDefaults();
    // The current user's whole domain (any host), autoreleased; nil when the
    // domain holds nothing.
    NSDictionary *persistentDomainForName(NSString *domainName);
};
