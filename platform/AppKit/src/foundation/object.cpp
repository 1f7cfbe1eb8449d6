// NSObject: reference counting, class queries and messages by name.
#include <Foundation/FoundationTesting.h>
#include <Foundation/NSAutoreleasePool.h>
#include <Foundation/NSObject.h>
#include <Foundation/NSString.h>

#include "foundation/fatal.h"

namespace {

std::atomic<long> liveObjects{0};

NSObject *allocObject() { return NSObject::alloc(); }

}  // namespace

long NSTestingLiveObjectCount() { return liveObjects.load(); }

Class NSObject::staticClass() {
    static const Class registered = NSRuntimeRegisterClass("NSObject", nil, &allocObject);
    return registered;
}

NS_SELECTORS(NSObject, "init", "retain", "release", "autorelease", "retainCount", "class",
             "isKindOfClass:", "isMemberOfClass:", "respondsToSelector:",
             "performSelector:withObject:", "description", "isEqual:", "hash")

NSObject::NSObject() { liveObjects.fetch_add(1); }

NSObject::~NSObject() {
    if (!immortal_) liveObjects.fetch_sub(1);
}

Class NSObject::getClass() const { return staticClass(); }

NSObject *NSObject::init() { return this; }

NSObject *NSObject::retain() {
    if (!immortal_) retainCount_.fetch_add(1);
    return this;
}

void NSObject::release() {
    if (immortal_) return;
    long before = retainCount_.fetch_sub(1);
    if (before <= 0)
        ns_fatal("-[%s release]: object %p over-released", getClass()->name(),
                 static_cast<const void *>(this));
    if (before == 1) delete this;
}

NSObject *NSObject::autorelease() {
    if (!immortal_) NSAutoreleasePool::addObject(this);
    return this;
}

NSUInteger NSObject::retainCount() const {
    // The platform reports a very large count for objects that never go.
    if (immortal_) return static_cast<NSUInteger>(-1);
    return static_cast<NSUInteger>(retainCount_.load());
}

void NSObject::becomeImmortal() {
    if (!immortal_.exchange(true)) liveObjects.fetch_sub(1);
}

NSObject *NSObject::copy() { doesNotRecognizeSelector("copyWithZone:"); }

BOOL NSObject::isKindOfClass(Class cls) const { return cls && getClass()->isSubclassOfClass(cls); }

BOOL NSObject::isMemberOfClass(Class cls) const { return getClass() == cls; }

BOOL NSObject::respondsToSelector(SEL selector) const {
    return getClass()->instancesRespondToSelector(selector);
}

NSObject *NSObject::performSelector_withObject(SEL selector, NSObject *object) {
    const NSRuntimeClass::Action *action = selector ? getClass()->actionForSelector(selector) : nullptr;
    if (!action) doesNotRecognizeSelector(selector ? selector : "(null)");
    action->invoke(this, object);
    return nil;
}

void NSObject::doesNotRecognizeSelector(SEL selector) const {
    ns_fatal("-[%s %s]: unrecognized selector sent to instance %p", getClass()->name(), selector,
             static_cast<const void *>(this));
}

NSString *NSObject::description() const {
    return NSString::stringWithFormat("<%s: %p>", getClass()->name(), static_cast<const void *>(this));
}

BOOL NSObject::isEqual(NSObject *other) const { return other == this; }

NSUInteger NSObject::hash() const { return reinterpret_cast<NSUInteger>(this); }

CFTypeRef NSObject::cfTypeRef() const { return nullptr; }

float NSObject::floatValue() const { doesNotRecognizeSelector("floatValue"); }
double NSObject::doubleValue() const { doesNotRecognizeSelector("doubleValue"); }
int NSObject::intValue() const { doesNotRecognizeSelector("intValue"); }
NSInteger NSObject::integerValue() const { doesNotRecognizeSelector("integerValue"); }
BOOL NSObject::boolValue() const { doesNotRecognizeSelector("boolValue"); }
NSString *NSObject::stringValue() const { doesNotRecognizeSelector("stringValue"); }
