// NSRuntime.h: classes registered by name, their outlets and actions.
//
// A class is registered when the library that holds its code is loaded:
// NS_REGISTER_CLASS in the class's .cpp runs at load time (dlopen runs it
// for a plug-in). The class body starts with NS_CLASS, which gives the
// class its static `staticClass()`, `alloc()` and `new_()` and the virtual
// `getClass()`. Outlets (object members that an interface file sets by
// name) and actions (methods `void name(NSObject *sender)` sent by selector
// name, "name:") are declared next to the registration:
//
//     NS_REGISTER_CLASS(ArcView, NSView)
//     NS_OUTLET(ArcView, theSpeed)
//     NS_ACTION(ArcView, updateCurve)      // selector "updateCurve:"
//
// Records live for the whole process; Class pointers never dangle.
#pragma once

#include <Foundation/NSObjCRuntime.h>

#include <initializer_list>
#include <string>
#include <type_traits>
#include <vector>

class NS_EXPORT NSRuntimeClass {
public:
    using Factory = NSObject *(*)();
    using OutletSetter = void (*)(NSObject *owner, NSObject *value);
    using ActionInvoker = void (*)(NSObject *target, NSObject *sender);

    struct Outlet {
        std::string name;
        Class type;  // what the outlet holds; a value must be of this kind
        OutletSetter assign;
    };
    struct Action {
        std::string selector;
        ActionInvoker invoke;
    };

    const char *name() const { return name_.c_str(); }
    Class superclass() const { return superclass_; }
    // True for the class itself and every class below it.
    BOOL isSubclassOfClass(Class other) const;
    // A new instance, +1, not yet initialised (the caller sends an init).
    NSObject *alloc() const { return factory_(); }
    BOOL instancesRespondToSelector(SEL selector) const;
    // Searched up the superclasses; nullptr when the class has none of that name.
    const Outlet *outletNamed(const std::string &outlet) const;
    const Action *actionForSelector(const std::string &selector) const;
    // An address inside the code of the library that registered the class.
    const void *codeAddress() const { return reinterpret_cast<const void *>(factory_); }

    // Registration; the macros below call these while the library loads.
    NSRuntimeClass(std::string name, Class superclass, Factory factory);
    void addOutlet(Outlet outlet);
    void addAction(Action action);
    void addSelectors(std::initializer_list<const char *> selectors);

private:
    std::string name_;
    Class superclass_;
    Factory factory_;
    std::vector<Outlet> outlets_;
    std::vector<Action> actions_;
    std::vector<std::string> selectors_;
};

// Registers a class and returns its record. A second class of a name
// already taken is kept (its own code keeps working) but not found by
// name, and a warning line goes to stderr.
NS_EXPORT Class NSRuntimeRegisterClass(const char *name, Class superclass,
                                       NSRuntimeClass::Factory factory);
NS_EXPORT bool NSRuntimeAddOutlet(Class cls, const char *outlet, Class type,
                                  NSRuntimeClass::OutletSetter assign);
NS_EXPORT bool NSRuntimeAddAction(Class cls, const char *selector,
                                  NSRuntimeClass::ActionInvoker invoke);
NS_EXPORT bool NSRuntimeAddSelectors(Class cls, std::initializer_list<const char *> selectors);

namespace ns_runtime {

template <typename>
struct MemberTraits;
template <typename Owner, typename Target>
struct MemberTraits<Target *Owner::*> {
    using OwnerType = Owner;
    using TargetType = Target;
};
template <typename>
struct ActionTraits;
template <typename Owner>
struct ActionTraits<void (Owner::*)(NSObject *)> {
    using OwnerType = Owner;
};

template <auto Member>
Class outletType() {
    return MemberTraits<decltype(Member)>::TargetType::staticClass();
}

template <auto Member>
void assignOutlet(NSObject *owner, NSObject *value) {
    using Traits = MemberTraits<decltype(Member)>;
    static_cast<typename Traits::OwnerType *>(owner)->*Member =
        static_cast<typename Traits::TargetType *>(value);
}

template <auto Method>
void invokeAction(NSObject *target, NSObject *sender) {
    using Owner = typename ActionTraits<decltype(Method)>::OwnerType;
    (static_cast<Owner *>(target)->*Method)(sender);
}

}  // namespace ns_runtime

#define NS_RUNTIME_CONCAT_(a, b) a##b
#define NS_RUNTIME_CONCAT(a, b) NS_RUNTIME_CONCAT_(a, b)

// First thing in the body of every class of the runtime. Leaves the access
// at private, as a class body starts.
#define NS_CLASS(Cls, Super)                                                   \
public:                                                                        \
    using super = Super;                                                       \
    static Class staticClass();                                                \
    Class getClass() const override { return staticClass(); }                  \
    /* +1, not yet initialised. */                                             \
    static Cls *alloc() { return new Cls(); }                                  \
    /* alloc and init: +1. */                                                  \
    static Cls *new_() { return static_cast<Cls *>(alloc()->init()); }         \
    /* NSObject's, typed. */                                                   \
    Cls *retain() {                                                            \
        NSObject::retain();                                                    \
        return this;                                                           \
    }                                                                          \
    Cls *autorelease() {                                                       \
        NSObject::autorelease();                                               \
        return this;                                                           \
    }                                                                          \
                                                                               \
private:

// In the class's .cpp, at namespace scope.
#define NS_REGISTER_CLASS(Cls, Super)                                                   \
    static_assert(std::is_base_of_v<Super, Cls>, #Cls " must derive from " #Super);     \
    namespace {                                                                         \
    NSObject *ns_runtime_alloc_##Cls() { return Cls::alloc(); }                         \
    }                                                                                   \
    Class Cls::staticClass() {                                                          \
        static const Class registered =                                                 \
            NSRuntimeRegisterClass(#Cls, Super::staticClass(), &ns_runtime_alloc_##Cls); \
        return registered;                                                              \
    }                                                                                   \
    namespace {                                                                         \
    [[maybe_unused]] const Class ns_runtime_loaded_##Cls = Cls::staticClass();          \
    }

// An object member `T *name` that an interface file may set by name.
// Outlets are not retained.
#define NS_OUTLET(Cls, outlet)                                                          \
    namespace {                                                                         \
    [[maybe_unused]] const bool ns_runtime_outlet_##Cls##_##outlet = NSRuntimeAddOutlet( \
        Cls::staticClass(), #outlet, ::ns_runtime::outletType<&Cls::outlet>(),           \
        &::ns_runtime::assignOutlet<&Cls::outlet>);                                     \
    }

// A method `void method(NSObject *sender)`, sent by the selector "method:".
#define NS_ACTION(Cls, method)                                                          \
    namespace {                                                                         \
    [[maybe_unused]] const bool ns_runtime_action_##Cls##_##method = NSRuntimeAddAction( \
        Cls::staticClass(), #method ":", &::ns_runtime::invokeAction<&Cls::method>);     \
    }

// Selectors the class answers besides its actions, for respondsToSelector.
#define NS_SELECTORS(Cls, ...)                                                     \
    namespace {                                                                    \
    [[maybe_unused]] const bool NS_RUNTIME_CONCAT(ns_runtime_selectors_, __LINE__) = \
        NSRuntimeAddSelectors(Cls::staticClass(), {__VA_ARGS__});                  \
    }
