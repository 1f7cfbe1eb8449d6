// NSInterface: the objects of one loaded interface file.
#include <AppKit/NSInterface.h>

NS_REGISTER_CLASS(NSInterface, NSObject)
NS_SELECTORS(NSInterface, "mainView", "objectNamed:")

NSObject *NSInterface::objectNamed(const std::string &name) const {
    for (const auto &[known, object] : objects_)
        if (known == name) return object;
    return nil;
}

void NSInterface::keepObjects(NSView *mainView, std::vector<std::pair<std::string, NSObject *>> objects) {
    mainView_ = mainView;
    objects_ = std::move(objects);
    owned_.clear();
    for (const auto &entry : objects_) owned_.emplace_back().retain(entry.second);
}

NSInterface::~NSInterface() = default;
