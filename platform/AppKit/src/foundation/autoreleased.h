// The object an init returned, autoreleased; nil stays nil. For the
// autoreleasing class methods (arrayWithCFArray, numberWithInt, ...).
#pragma once

#include <Foundation/NSObjCRuntime.h>

template <typename T>
__attribute__((visibility("hidden"))) inline T *autoreleased(T *made) {
    return made ? made->autorelease() : nil;
}
