// NSAutoreleasePool.h: the stack of pools that autoreleased objects wait in.
//
// Each thread has its own stack. alloc()->init() pushes a pool; drain
// releases every object autoreleased into it since, and the pool itself,
// after draining any pools still pushed above it. An object autoreleased
// while no pool is pushed is leaked, with a warning line, as on the
// platform.
#pragma once

#include <Foundation/NSObject.h>

#include <vector>

class NS_EXPORT NSAutoreleasePool : public NSObject {
    NS_CLASS(NSAutoreleasePool, NSObject)

public:
    NSAutoreleasePool *init() override;
    void drain();
    static void addObject(NSObject *object);
    // Pools pushed on this thread.
    static NSUInteger depth();

protected:
    ~NSAutoreleasePool() override;

private:
    void emptyAndPop();
    std::vector<NSObject *> objects_;
    bool pushed_ = false;
};
