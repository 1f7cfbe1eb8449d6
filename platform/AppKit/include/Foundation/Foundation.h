// Foundation.h: the object runtime and the Foundation classes of the
// platform stand-in. See docs/appkit.md for the conventions.
#pragma once

#include <Foundation/NSObjCRuntime.h>
#include <Foundation/NSRuntime.h>
#include <Foundation/NSObject.h>
#include <Foundation/NSAutoreleasePool.h>
#include <Foundation/NSGeometry.h>
#include <Foundation/NSStrong.h>
#include <Foundation/NSCFObject.h>
#include <Foundation/NSString.h>
#include <Foundation/NSValue.h>
#include <Foundation/NSArray.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSData.h>
#include <Foundation/NSCFBridging.h>
#include <Foundation/NSBundle.h>
#include <Foundation/NSUserDefaults.h>
