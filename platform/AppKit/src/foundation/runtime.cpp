// The class registry: records by name, created as libraries load.
#include <Foundation/NSRuntime.h>
#include <Foundation/NSString.h>

#include <cstdio>
#include <map>
#include <memory>
#include <mutex>

namespace {

struct Registry {
    std::mutex mutex;
    std::map<std::string, NSRuntimeClass *> byName;
    // Every record ever made, named or not; never freed, so Class pointers
    // stay valid for the whole process.
    std::vector<std::unique_ptr<NSRuntimeClass>> records;
};

// Never destroyed: libraries still loaded at exit may look classes up.
Registry &registry() {
    static Registry *instance = new Registry;
    return *instance;
}

NSRuntimeClass *mutableRecord(Class cls) { return const_cast<NSRuntimeClass *>(cls); }

}  // namespace

NSRuntimeClass::NSRuntimeClass(std::string name, Class superclass, Factory factory)
    : name_(std::move(name)), superclass_(superclass), factory_(factory) {}

BOOL NSRuntimeClass::isSubclassOfClass(Class other) const {
    for (Class cls = this; cls; cls = cls->superclass_)
        if (cls == other) return YES;
    return NO;
}

BOOL NSRuntimeClass::instancesRespondToSelector(SEL selector) const {
    if (!selector) return NO;
    for (Class cls = this; cls; cls = cls->superclass_) {
        for (const auto &known : cls->selectors_)
            if (known == selector) return YES;
        for (const auto &action : cls->actions_)
            if (action.selector == selector) return YES;
    }
    return NO;
}

const NSRuntimeClass::Outlet *NSRuntimeClass::outletNamed(const std::string &outlet) const {
    for (Class cls = this; cls; cls = cls->superclass_)
        for (const auto &known : cls->outlets_)
            if (known.name == outlet) return &known;
    return nullptr;
}

const NSRuntimeClass::Action *NSRuntimeClass::actionForSelector(const std::string &selector) const {
    for (Class cls = this; cls; cls = cls->superclass_)
        for (const auto &known : cls->actions_)
            if (known.selector == selector) return &known;
    return nullptr;
}

void NSRuntimeClass::addOutlet(Outlet outlet) { outlets_.push_back(std::move(outlet)); }
void NSRuntimeClass::addAction(Action action) { actions_.push_back(std::move(action)); }
void NSRuntimeClass::addSelectors(std::initializer_list<const char *> selectors) {
    for (const char *selector : selectors) selectors_.emplace_back(selector);
}

Class NSRuntimeRegisterClass(const char *name, Class superclass, NSRuntimeClass::Factory factory) {
    Registry &reg = registry();
    std::lock_guard lock(reg.mutex);
    auto record = std::make_unique<NSRuntimeClass>(name, superclass, factory);
    NSRuntimeClass *cls = record.get();
    reg.records.push_back(std::move(record));
    auto [existing, added] = reg.byName.emplace(name, cls);
    if (!added)
        std::fprintf(stderr, "AppKit: class %s is registered twice; the first one is found by name\n",
                     name);
    return cls;
}

bool NSRuntimeAddOutlet(Class cls, const char *outlet, Class type,
                        NSRuntimeClass::OutletSetter assign) {
    mutableRecord(cls)->addOutlet({outlet, type, assign});
    return true;
}

bool NSRuntimeAddAction(Class cls, const char *selector, NSRuntimeClass::ActionInvoker invoke) {
    mutableRecord(cls)->addAction({selector, invoke});
    return true;
}

bool NSRuntimeAddSelectors(Class cls, std::initializer_list<const char *> selectors) {
    mutableRecord(cls)->addSelectors(selectors);
    return true;
}

Class NSClassFromString(const char *name) {
    if (!name) return nil;
    Registry &reg = registry();
    std::lock_guard lock(reg.mutex);
    auto found = reg.byName.find(name);
    return found == reg.byName.end() ? nil : found->second;
}

Class NSClassFromString(NSString *name) { return name ? NSClassFromString(name->UTF8String()) : nil; }

NSString *NSStringFromClass(Class cls) { return cls ? NSString::stringWithUTF8String(cls->name()) : nil; }
