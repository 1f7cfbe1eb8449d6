// NSPreferencePane.h: the principal class of a preference pane bundle.
//
// The host creates the pane with initWithBundle, calls loadMainView (which
// loads the bundle's interface file with the pane as File's Owner, sets
// mainView and calls mainViewDidLoad), then the control actions arrive, and
// didUnselect when the user leaves the pane. The pane retains its bundle,
// its main view and the loaded interface.
#pragma once

#include <AppKit/AppKit.h>

#include <string>

class NS_EXPORT NSPreferencePane : public NSObject {
    NS_CLASS(NSPreferencePane, NSObject)

public:
    // initWithBundle with nil.
    NSPreferencePane *init() override;
    virtual NSPreferencePane *initWithBundle(NSBundle *bundle);

    // Borrowed.
    NSBundle *bundle() const { return bundle_.get(); }
    NSView *mainView() const { return mainView_.get(); }
    void setMainView(NSView *view);

    // NSMainNibFile of the bundle's Info.plist; nil when absent. Autoreleased.
    virtual NSString *mainNibName();
    // Loads the interface file, sets mainView, calls mainViewDidLoad and
    // returns mainView; nil when the file is missing or does not load, with
    // the reason in mainViewLoadError.
    virtual NSView *loadMainView();
    virtual void mainViewDidLoad() {}
    virtual void willSelect() {}
    virtual void didSelect() {}
    virtual void willUnselect() {}
    virtual void didUnselect() {}

    // The interface loadMainView loaded, or nil. Borrowed.
    NSInterface *mainInterface() const { return interface_.get(); }
    const std::string &mainViewLoadError() const { return loadError_; }

protected:
    ~NSPreferencePane() override;

private:
    NSStrong<NSBundle> bundle_;
    NSStrong<NSView> mainView_;
    NSStrong<NSInterface> interface_;
    std::string loadError_;
};
