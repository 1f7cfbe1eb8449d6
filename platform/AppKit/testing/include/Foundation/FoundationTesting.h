// FoundationTesting.h: test-only hooks into the object runtime.
// Not for system code.
#pragma once

#include <Foundation/NSObjCRuntime.h>

// Objects allocated and not yet deleted (immortal ones excluded).
NS_EXPORT long NSTestingLiveObjectCount();
