// The interface-file loader: builds the view tree, then checks every outlet
// and action before it connects any, so a file with an error leaves the
// owner untouched.
#include <AppKit/NSInterface.h>

#include <CFText.h>

#include <cmath>
#include <functional>
#include <set>

#include "interface/interface_attributes.h"
#include "foundation/property_list_file.h"

namespace {

constexpr int kFormatVersion = 1;
constexpr int kDeepestNesting = 32;

const std::set<std::string> viewKeys = {"Name", "Class", "Frame", "Subviews", "Outlets"};
const std::set<std::string> controlKeys = {"Action"};
const std::set<std::string> rootKeys = {"Version", "FilesOwner", "MainView"};
const std::set<std::string> ownerKeys = {"Class", "Outlets"};
const std::set<std::string> actionKeys = {"Target", "Selector"};

CFTypeRef valueFor(CFDictionaryRef dictionary, const char *key) {
    return CFDictionaryGetValue(dictionary, __CFStringMakeConstantString(key));
}

template <typename T>
T typed(CFTypeRef value, CFTypeID type) {
    return CFCastIfType<T>(value, type);
}

// The value's text when it is a string, else "".
std::string textOf(CFTypeRef value) {
    return UTF8FromCFString(CFCastIfType<CFStringRef>(value, CFStringGetTypeID()));
}

// The dictionary's keys as text; a key that is not a string gives "".
std::vector<std::string> keysOf(CFDictionaryRef dictionary) {
    CFIndex count = CFDictionaryGetCount(dictionary);
    std::vector<const void *> keys(static_cast<size_t>(count));
    if (count > 0) CFDictionaryGetKeysAndValues(dictionary, keys.data(), nullptr);
    std::vector<std::string> names;
    for (const void *key : keys) names.push_back(textOf(key));
    return names;
}

struct BuiltView {
    std::string name;
    NSView *view;
    CFRef<CFDictionaryRef> entry;
};

class InterfaceLoader {
public:
    InterfaceLoader(std::string file, NSObject *owner) : file_(std::move(file)), owner_(owner) {}

    NSInterface *load(CFPropertyListRef root);
    const std::string &error() const { return error_; }

private:
    bool fail(const std::string &where, const std::string &what) {
        error_ = file_ + ": " + (where.empty() ? "" : where + ": ") + what;
        return false;
    }
    bool onlyKnownKeys(CFDictionaryRef dictionary, const std::set<std::string> &known,
                       const std::string &where);
    NSView *build(CFDictionaryRef entry, int depth);
    bool readFrame(CFTypeRef value, const std::string &where, NSRect *frame);
    bool checkViewKeys(CFDictionaryRef entry, NSView *view, const std::string &where);
    bool applyAttributes(CFDictionaryRef entry, NSView *view, const std::string &where);
    bool planOwner(CFTypeRef ownerEntry);
    bool planOutlets(NSObject *object, const std::string &where, CFTypeRef outlets);
    bool planAction(NSView *view, const std::string &where, CFTypeRef action);
    NSObject *objectNamed(const std::string &name) const;
    static std::string label(const std::string &name, NSObject *object) {
        return "'" + name + "' (" + object->getClass()->name() + ")";
    }

    std::string file_;
    NSObject *owner_;
    std::string error_;
    // Every object by name, and the loader's own reference on each.
    std::vector<std::pair<std::string, NSObject *>> objects_;
    std::vector<NSStrong<NSObject>> owned_;
    std::vector<BuiltView> built_;
    std::vector<std::function<void()>> connections_;
};

bool InterfaceLoader::onlyKnownKeys(CFDictionaryRef dictionary, const std::set<std::string> &known,
                                    const std::string &where) {
    for (const std::string &key : keysOf(dictionary))
        if (!known.count(key)) return fail(where, "unknown key '" + key + "'");
    return true;
}

NSObject *InterfaceLoader::objectNamed(const std::string &name) const {
    if (name == NSInterface::ownerName) return owner_;
    for (const auto &[known, object] : objects_)
        if (known == name) return object;
    return nil;
}

bool InterfaceLoader::readFrame(CFTypeRef value, const std::string &where, NSRect *frame) {
    CFArrayRef numbers = typed<CFArrayRef>(value, CFArrayGetTypeID());
    double parts[4] = {};
    bool ok = numbers && CFArrayGetCount(numbers) == 4;
    for (CFIndex i = 0; ok && i < 4; ++i) {
        CFNumberRef number = typed<CFNumberRef>(CFArrayGetValueAtIndex(numbers, i), CFNumberGetTypeID());
        if (number) CFNumberGetValue(number, kCFNumberDoubleType, &parts[i]);
        ok = number && std::isfinite(parts[i]);
    }
    if (!ok || parts[2] < 0 || parts[3] < 0)
        return fail(where, "Frame must be an array of four finite numbers: x, y, width, height "
                           "(width and height not negative)");
    *frame = NSMakeRect(parts[0], parts[1], parts[2], parts[3]);
    return true;
}

bool InterfaceLoader::checkViewKeys(CFDictionaryRef entry, NSView *view, const std::string &where) {
    bool isControl = view->isKindOfClass(NSControl::staticClass());
    for (const std::string &key : keysOf(entry)) {
        if (viewKeys.count(key) || (isControl && controlKeys.count(key))) continue;
        bool known = false;
        for (const auto &attribute : ns_interface_attributes())
            known = known || (key == attribute.key && view->isKindOfClass(attribute.applies()));
        if (!known) return fail(where, "unknown key '" + key + "' for " + view->getClass()->name());
    }
    return true;
}

bool InterfaceLoader::applyAttributes(CFDictionaryRef entry, NSView *view, const std::string &where) {
    for (const auto &attribute : ns_interface_attributes()) {
        CFTypeRef value = valueFor(entry, attribute.key);
        if (!value || !view->isKindOfClass(attribute.applies())) continue;
        Result<AttributeValue> read = ns_read_attribute(attribute, value);
        if (!read) return fail(where, read.message());
        attribute.apply(view, *read);
    }
    if (view->isKindOfClass(NSSlider::staticClass())) {
        NSSlider *slider = static_cast<NSSlider *>(view);
        if (slider->minValue() > slider->maxValue()) return fail(where, "MinValue is above MaxValue");
    }
    return true;
}

// Kept in owned_; nil when the entry has an error.
NSView *InterfaceLoader::build(CFDictionaryRef entry, int depth) {
    if (depth > kDeepestNesting)
        return fail("", "views nested deeper than " + std::to_string(kDeepestNesting)), nil;
    std::string name = textOf(valueFor(entry, "Name"));
    if (name.empty()) return fail("", "a view without a Name string"), nil;
    std::string where = "'" + name + "'";
    if (name == NSInterface::ownerName || objectNamed(name))
        return fail(where, "the name is taken"), nil;
    std::string className = textOf(valueFor(entry, "Class"));
    if (className.empty()) return fail(where, "no Class string"), nil;
    Class cls = NSClassFromString(className.c_str());
    if (!cls) return fail(where, "unknown class '" + className + "'"), nil;
    if (!cls->isSubclassOfClass(NSView::staticClass()))
        return fail(where, "class '" + className + "' is not a view"), nil;
    NSRect frame;
    if (!readFrame(valueFor(entry, "Frame"), where, &frame)) return nil;

    NSView *view = static_cast<NSView *>(cls->alloc())->initWithFrame(frame);
    if (!view) return fail(where, "the " + className + " did not initialise"), nil;
    objects_.emplace_back(name, view);
    owned_.emplace_back().adopt(view);
    view->setIdentifier(NSString::stringWithUTF8String(name.c_str()));
    built_.push_back({name, view, CFRef<CFDictionaryRef>::retain(entry)});
    where = label(name, view);
    if (!checkViewKeys(entry, view, where) || !applyAttributes(entry, view, where)) return nil;

    CFTypeRef subviews = valueFor(entry, "Subviews");
    CFArrayRef children = typed<CFArrayRef>(subviews, CFArrayGetTypeID());
    if (subviews && !children) return fail(where, "Subviews must be an array of views"), nil;
    for (CFIndex i = 0; children && i < CFArrayGetCount(children); ++i) {
        CFDictionaryRef child =
            typed<CFDictionaryRef>(CFArrayGetValueAtIndex(children, i), CFDictionaryGetTypeID());
        if (!child) return fail(where, "Subviews must be an array of views"), nil;
        NSView *subview = build(child, depth + 1);
        if (!subview) return nil;
        view->addSubview(subview);
    }
    return view;
}

bool InterfaceLoader::planOutlets(NSObject *object, const std::string &where, CFTypeRef outlets) {
    if (!outlets) return true;
    CFDictionaryRef table = typed<CFDictionaryRef>(outlets, CFDictionaryGetTypeID());
    if (!table) return fail(where, "Outlets must be a dictionary of outlet names to object names");
    for (const std::string &outletName : keysOf(table)) {
        const NSRuntimeClass::Outlet *outlet = object->getClass()->outletNamed(outletName);
        if (!outlet) return fail(where, "no outlet '" + outletName + "'");
        std::string destination = textOf(valueFor(table, outletName.c_str()));
        NSObject *value = objectNamed(destination);
        if (!value)
            return fail(where, "outlet '" + outletName + "' names no object '" + destination + "'");
        if (!value->isKindOfClass(outlet->type))
            return fail(where, "outlet '" + outletName + "' takes an " + outlet->type->name() +
                                   ", not " + label(destination, value));
        connections_.push_back([assign = outlet->assign, object, value] { assign(object, value); });
    }
    return true;
}

bool InterfaceLoader::planAction(NSView *view, const std::string &where, CFTypeRef action) {
    if (!action) return true;
    CFDictionaryRef entry = typed<CFDictionaryRef>(action, CFDictionaryGetTypeID());
    if (!entry) return fail(where, "Action must be a dictionary with Target and Selector");
    if (!onlyKnownKeys(entry, actionKeys, where + ": Action")) return false;
    std::string targetName = textOf(valueFor(entry, "Target"));
    std::string selector = textOf(valueFor(entry, "Selector"));
    if (targetName.empty() || selector.empty())
        return fail(where, "Action must be a dictionary with Target and Selector");
    NSObject *target = objectNamed(targetName);
    if (!target) return fail(where, "action target '" + targetName + "' names no object");
    if (!target->getClass()->actionForSelector(selector))
        return fail(where, "target " + label(targetName, target) + " has no action '" + selector + "'");
    NSControl *control = static_cast<NSControl *>(view);
    connections_.push_back([control, target, selector] {
        control->setTarget(target);
        control->setAction(selector.c_str());
    });
    return true;
}

bool InterfaceLoader::planOwner(CFTypeRef ownerEntry) {
    const std::string where = NSInterface::ownerName;
    if (!ownerEntry) return true;
    CFDictionaryRef entry = typed<CFDictionaryRef>(ownerEntry, CFDictionaryGetTypeID());
    if (!entry) return fail(where, "FilesOwner must be a dictionary");
    if (!onlyKnownKeys(entry, ownerKeys, where)) return false;
    if (!owner_) return fail(where, "the file has outlets for an owner, but none was given");
    CFTypeRef wanted = valueFor(entry, "Class");
    if (wanted) {
        std::string className = textOf(wanted);
        Class cls = NSClassFromString(className.c_str());
        if (!cls) return fail(where, "unknown class '" + className + "'");
        if (!owner_->isKindOfClass(cls))
            return fail(where, std::string("the owner is a ") + owner_->getClass()->name() +
                                   ", not a " + className);
    }
    return planOutlets(owner_, label(where, owner_), valueFor(entry, "Outlets"));
}

NSInterface *InterfaceLoader::load(CFPropertyListRef root) {
    CFDictionaryRef top = typed<CFDictionaryRef>(root, CFDictionaryGetTypeID());
    if (!top) return fail("", "the top level is not a dictionary"), nil;
    if (!onlyKnownKeys(top, rootKeys, "")) return nil;
    CFNumberRef version = typed<CFNumberRef>(valueFor(top, "Version"), CFNumberGetTypeID());
    int versionNumber = 0;
    if (!version || !CFNumberGetValue(version, kCFNumberIntType, &versionNumber) ||
        versionNumber != kFormatVersion)
        return fail("", "Version must be " + std::to_string(kFormatVersion)), nil;
    CFDictionaryRef mainEntry = typed<CFDictionaryRef>(valueFor(top, "MainView"), CFDictionaryGetTypeID());
    if (!mainEntry) return fail("", "no MainView dictionary"), nil;

    NSView *mainView = build(mainEntry, 0);
    if (!mainView || !planOwner(valueFor(top, "FilesOwner"))) return nil;
    for (const BuiltView &built : built_) {
        std::string where = label(built.name, built.view);
        if (!planOutlets(built.view, where, valueFor(built.entry.get(), "Outlets")) ||
            !planAction(built.view, where, valueFor(built.entry.get(), "Action")))
            return nil;
    }
    for (const auto &connect : connections_) connect();
    NSInterface *loaded = NSInterface::new_();
    loaded->keepObjects(mainView, std::move(objects_));
    objects_.clear();
    return loaded->autorelease();
}

}  // namespace

Result<NSInterface *> NSInterface::interfaceWithContentsOfFile_owner(NSString *path, NSObject *owner) {
    std::string file = path ? path->UTF8String() : "";
    Result<CFRef<CFPropertyListRef>> root = ns_read_property_list_file(file);
    if (!root) return root.failure();
    InterfaceLoader loader(file, owner);
    NSInterface *loaded = loader.load(root->get());
    if (!loaded) return Failure(loader.error());
    return loaded;
}
