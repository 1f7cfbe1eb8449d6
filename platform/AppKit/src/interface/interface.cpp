// NSInterface: the objects of one loaded interface file.
#include <AppKit/NSInterface.h>

NS_REGISTER_CLASS(NSInterface, NSObject)
NS_SELECTORS(NSInterface, "mainView", "objectNamed:")

NSObject *NSInterface::objectNamed(const std::string &name) const {
    for (const auto &[known, object] : objects_)
        if (known == name) return object;
    return nil;
}

void NSInterface::adoptObjects(NSView *mainView,
                               std::vector<std::pair<std::string, NSObject *>> objects) {
    mainView_ = mainView;
    objects_ = std::move(objects);
}

NSInterface::~NSInterface() {
    // Outlets and targets point into this set but own nothing, so the
    // objects can go in any order.
    for (auto &entry : objects_) entry.second->release();
}
