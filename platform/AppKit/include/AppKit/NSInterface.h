// NSInterface.h: the interface-file loader.
//
// An interface file (extension "layout", an XML property list; the format
// is in docs/appkit.md) describes a tree of views and controls, the outlets
// they fill and the actions they send. Loading creates every object by its
// class name, sets the outlets by name on the owner ("File's Owner") and on
// other objects, and connects the actions by selector name, checking every
// name first: a file with any error changes nothing and gives nil with one
// line saying what and where.
//
// The NSInterface object keeps every object of the file alive; the owner
// and outlets are not retained.
#pragma once

#include <AppKit/NSView.h>

#include <Result.h>

#include <string>
#include <utility>
#include <vector>

class NS_EXPORT NSInterface : public NSObject {
    NS_CLASS(NSInterface, NSObject)

public:
    static constexpr const char *fileExtension = "layout";
    static constexpr const char *ownerName = "File's Owner";

    // Autoreleased, or what is wrong with the file and where.
    static Result<NSInterface *> interfaceWithContentsOfFile_owner(NSString *path, NSObject *owner);

    // Borrowed.
    NSView *mainView() const { return mainView_; }
    // The object of that name, or nil. Borrowed.
    NSObject *objectNamed(const std::string &name) const;
    // Every named object, in the file's order. Borrowed.
    const std::vector<std::pair<std::string, NSObject *>> &namedObjects() const { return objects_; }

    // Used by the loader: keeps the objects, taking its own reference on
    // each; the main view is one of them.
    void keepObjects(NSView *mainView, std::vector<std::pair<std::string, NSObject *>> objects);

protected:
    ~NSInterface() override;

private:
    NSView *mainView_ = nullptr;
    std::vector<std::pair<std::string, NSObject *>> objects_;
    // The interface's reference on each object. Outlets and targets point
    // into this set but own nothing, so the objects can go in any order.
    std::vector<NSStrong<NSObject>> owned_;
};
