// NSObjCRuntime.h: the basic types of the object runtime.
//
// BOOL is the signed one-byte Boolean of the platform, distinct from Core
// Foundation's unsigned Boolean. Class is a registered class (see
// NSRuntime.h); SEL is a selector name such as "mouseSliderMoved:".
#pragma once

#include <cstddef>

// Marks what libAppKit exports; everything else in it stays hidden.
#define NS_EXPORT __attribute__((visibility("default")))

typedef signed char BOOL;
#define YES static_cast<BOOL>(1)
#define NO static_cast<BOOL>(0)

typedef long NSInteger;
typedef unsigned long NSUInteger;
typedef double CGFloat;

#ifndef nil
#define nil nullptr
#endif

class NSObject;
class NSString;
class NSRuntimeClass;

typedef NSObject *id;
typedef const NSRuntimeClass *Class;
typedef const char *SEL;

// The class registered under the name, or nil.
NS_EXPORT Class NSClassFromString(NSString *name);
NS_EXPORT Class NSClassFromString(const char *name);
// The class's name, autoreleased; nil for nil.
NS_EXPORT NSString *NSStringFromClass(Class cls);
