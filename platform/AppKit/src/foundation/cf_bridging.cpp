// Core Foundation values seen as objects: one wrapper class per type.
#include <Foundation/NSArray.h>
#include <Foundation/NSCFBridging.h>
#include <Foundation/NSData.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSString.h>
#include <Foundation/NSValue.h>

NSObject *NSObjectFromCFType(CFTypeRef value) {
    if (!value) return nil;
    CFTypeID type = CFGetTypeID(value);
    if (type == CFStringGetTypeID()) return NSString::stringWithCFString(static_cast<CFStringRef>(value));
    if (type == CFNumberGetTypeID() || type == CFBooleanGetTypeID())
        return NSNumber::numberWithCFType(value);
    if (type == CFArrayGetTypeID()) return NSArray::arrayWithCFArray(static_cast<CFArrayRef>(value));
    if (type == CFDictionaryGetTypeID())
        return NSDictionary::dictionaryWithCFDictionary(static_cast<CFDictionaryRef>(value));
    if (type == CFDataGetTypeID()) return NSData::dataWithCFData(static_cast<CFDataRef>(value));
    if (type == CFDateGetTypeID()) return NSDate::dateWithCFDate(static_cast<CFDateRef>(value));
    return nil;
}
