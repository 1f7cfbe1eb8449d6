// NSObject.h: the root class: reference counting and messages by name.
//
// Memory follows the platform's manual rules. alloc (then an init), new_
// and copy give the caller a reference (+1) that it gives back with
// release; every other returned object is autoreleased and lives until the
// innermost NSAutoreleasePool drains. retain takes one more reference.
// The last release deletes the object. Immortal objects (string constants,
// shared singletons) ignore retain and release.
//
// Sending a selector an object does not answer is a crash on the platform,
// and here too: the value methods below (floatValue, ...) exist on every
// object so that code holding an `id` can send them, but on a class that
// does not answer them they stop the process with a clear line. Ask with
// respondsToSelector first.
#pragma once

#include <Foundation/NSObjCRuntime.h>
#include <Foundation/NSRuntime.h>

#include <CoreFoundation/CoreFoundation.h>

#include <atomic>

class NS_EXPORT NSObject {
public:
    static Class staticClass();
    virtual Class getClass() const;
    // +1, not yet initialised.
    static NSObject *alloc() { return new NSObject(); }
    static NSObject *new_() { return alloc()->init(); }
    // Returns the receiver. An init that fails releases the receiver and
    // returns nil.
    virtual NSObject *init();

    NSObject *retain();
    void release();
    NSObject *autorelease();
    NSUInteger retainCount() const;
    // +1. Objects that cannot be copied do not answer "copyWithZone:".
    virtual NSObject *copy();

    BOOL isKindOfClass(Class cls) const;
    BOOL isMemberOfClass(Class cls) const;
    BOOL respondsToSelector(SEL selector) const;
    // Sends an action ("name:") with the object as its sender; only actions
    // can be sent by name. Returns nil.
    NSObject *performSelector_withObject(SEL selector, NSObject *object);
    [[noreturn]] void doesNotRecognizeSelector(SEL selector) const;

    // Autoreleased.
    virtual NSString *description() const;
    virtual BOOL isEqual(NSObject *other) const;
    virtual NSUInteger hash() const;
    // The Core Foundation value this object stands for (borrowed), or NULL.
    virtual CFTypeRef cfTypeRef() const;

    // Values. Answered by NSString, NSNumber and the controls.
    virtual float floatValue() const;
    virtual double doubleValue() const;
    virtual int intValue() const;
    virtual NSInteger integerValue() const;
    // Answered by NSString and NSNumber.
    virtual BOOL boolValue() const;
    // Autoreleased. Answered by NSNumber and the controls.
    virtual NSString *stringValue() const;

    NSObject(const NSObject &) = delete;
    NSObject &operator=(const NSObject &) = delete;

protected:
    NSObject();
    virtual ~NSObject();
    // From now on retain and release leave the object alone.
    void becomeImmortal();

private:
    std::atomic<long> retainCount_{1};
    std::atomic<bool> immortal_{false};
};
