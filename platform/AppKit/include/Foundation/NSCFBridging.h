// NSCFBridging.h: Core Foundation values seen as objects.
#pragma once

#include <Foundation/NSObject.h>

// An autoreleased object standing for the value: NSString, NSNumber (numbers
// and booleans), NSArray, NSDictionary, NSData or NSDate. nil for NULL and
// for any other type.
NS_EXPORT NSObject *NSObjectFromCFType(CFTypeRef value);
