// NSStrong.h: the owning reference an object keeps to another object (a
// view's subview, a control's text): released when replaced and when the
// owner goes, so no class frees its members by hand.
#pragma once

#include <Foundation/NSObjCRuntime.h>

#include <utility>

// The members are hidden: each library keeps its own copy of these inline
// functions rather than exporting them.
#define NS_STRONG_INLINE __attribute__((visibility("hidden"))) inline

template <typename T>
class NSStrong {
public:
    NSStrong() = default;
    NSStrong(const NSStrong &) = delete;
    NSStrong &operator=(const NSStrong &) = delete;
    // Moving hands the reference over (so holders can live in containers).
    NS_STRONG_INLINE NSStrong(NSStrong &&other) noexcept : object_(std::exchange(other.object_, nil)) {}
    NS_STRONG_INLINE NSStrong &operator=(NSStrong &&other) noexcept {
        if (this != &other) adopt(std::exchange(other.object_, nil));
        return *this;
    }
    NS_STRONG_INLINE ~NSStrong() { reset(); }

    // Takes over a reference the caller owns (+1: alloc and init, new_, copy).
    NS_STRONG_INLINE void adopt(T *object) {
        T *previous = std::exchange(object_, object);
        if (previous) previous->release();
    }
    // Takes its own reference on a borrowed object (nil allowed).
    NS_STRONG_INLINE void retain(T *object) {
        if (object) object->retain();
        adopt(object);
    }
    // Lets the object go now.
    NS_STRONG_INLINE void reset() { adopt(nil); }
    T *get() const { return object_; }
    T *operator->() const { return object_; }
    explicit operator bool() const { return object_ != nil; }

private:
    T *object_ = nil;
};

#undef NS_STRONG_INLINE
