// CFRef: a scoped owner of one Core Foundation reference.
//
// adopt() takes over a reference the caller already owns (the result of a
// Create or Copy function); retain() takes a new reference on a borrowed
// one (a Get result). The destructor releases what it owns, so every
// return path releases it. Works the same on the real platform.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <utility>

template <typename T>
class CFRef {
public:
    CFRef() = default;
    CFRef(const CFRef &other) : ref_(other.ref_) {
        if (ref_) CFRetain(ref_);
    }
    CFRef(CFRef &&other) noexcept : ref_(std::exchange(other.ref_, nullptr)) {}
    CFRef &operator=(CFRef other) noexcept {
        std::swap(ref_, other.ref_);
        return *this;
    }
    ~CFRef() {
        if (ref_) CFRelease(ref_);
    }

    // Owns a Create or Copy result (NULL allowed).
    static CFRef adopt(T ref) { return CFRef(ref); }
    // Takes its own reference on a borrowed value (NULL allowed).
    static CFRef retain(T ref) {
        if (ref) CFRetain(ref);
        return CFRef(ref);
    }

    T get() const { return ref_; }
    explicit operator bool() const { return ref_ != nullptr; }
    // Hands the reference to a caller that will release it.
    T release() { return std::exchange(ref_, nullptr); }

private:
    explicit CFRef(T ref) : ref_(ref) {}
    T ref_ = nullptr;
};

// The value as the given CF type when its type id matches, else NULL.
// Borrowed, like the argument.
template <typename T>
T CFCastIfType(CFTypeRef value, CFTypeID type_id) {
    return value && CFGetTypeID(value) == type_id ? static_cast<T>(value) : nullptr;
}
