// NSAutoreleasePool: a per-thread stack of pools.
#include <Foundation/NSAutoreleasePool.h>
#include <Foundation/NSString.h>

#include <algorithm>
#include <cstdio>

#include "foundation/fatal.h"

NS_REGISTER_CLASS(NSAutoreleasePool, NSObject)
NS_SELECTORS(NSAutoreleasePool, "drain", "addObject:")

namespace {

thread_local std::vector<NSAutoreleasePool *> poolStack;

}  // namespace

NSAutoreleasePool *NSAutoreleasePool::init() {
    if (!pushed_) {
        poolStack.push_back(this);
        pushed_ = true;
    }
    return this;
}

void NSAutoreleasePool::addObject(NSObject *object) {
    if (poolStack.empty()) {
        std::fprintf(stderr,
                     "AppKit: *** object %p of class %s autoreleased with no pool in place - just "
                     "leaking\n",
                     static_cast<const void *>(object), object->getClass()->name());
        return;
    }
    if (object->isKindOfClass(NSAutoreleasePool::staticClass()))
        ns_fatal("-[NSAutoreleasePool autorelease]: a pool cannot be autoreleased");
    poolStack.back()->objects_.push_back(object);
}

NSUInteger NSAutoreleasePool::depth() { return poolStack.size(); }

void NSAutoreleasePool::emptyAndPop() {
    if (!pushed_) return;
    // Pools pushed later are inside this one: they go first.
    while (!poolStack.empty() && poolStack.back() != this) poolStack.back()->drain();
    // Objects freed now may autorelease others; those land here too while
    // the pool is still on the stack, and go in the same drain.
    while (!objects_.empty()) {
        std::vector<NSObject *> batch;
        batch.swap(objects_);
        for (NSObject *object : batch) object->release();
    }
    if (!poolStack.empty()) poolStack.pop_back();
    pushed_ = false;
}

void NSAutoreleasePool::drain() {
    emptyAndPop();
    release();
}

NSAutoreleasePool::~NSAutoreleasePool() { emptyAndPop(); }
