// The pane as the host shows it: a controller of the principal class, its
// main view and the named objects of its interface file, driven through
// the lifecycle and by user input. Every call into the pane's code runs in
// an autorelease pool of its own that drains when the call returns, so
// what the pane hands back without ownership lives exactly that long.
//
// Kept apart from any driver: the scripted mode and the window mode both
// drive the pane through it.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "pane_bundle.h"
#include <Result.h>

class PaneSession {
public:
    explicit PaneSession(const PaneBundle &bundle) : bundle_(bundle) {}
    // Drops the controller without didUnselect, as when the host quits.
    ~PaneSession();
    PaneSession(const PaneSession &) = delete;
    PaneSession &operator=(const PaneSession &) = delete;

    // A fresh controller: initWithBundle, then loadMainView, which loads the
    // interface file, sets the outlets and calls mainViewDidLoad.
    Status show();
    // The user leaves the pane: didUnselect.
    Status leave();
    // The pane shown again: the old controller goes (without didUnselect)
    // and a fresh one is shown.
    Status reload();
    bool isShown() const { return shown_; }

    // Borrowed; nil while no controller is loaded.
    NSPreferencePane *pane() const { return pane_.get(); }
    NSView *mainView() const { return pane_ ? pane_->mainView() : nil; }
    NSObject *objectNamed(const std::string &name) const;
    // In the interface file's order; empty while no controller is loaded.
    const std::vector<std::pair<std::string, NSObject *>> &namedObjects() const;

    // User input, each a pane action in a pool of its own.
    // A whole drag that ends at the value: the action is sent once.
    void dragSlider(NSSlider *slider, double value);
    // The parts of a drag, as a window sees them: the knob moved (a
    // continuous slider sends its action) and the mouse released (a slider
    // that is not continuous sends it).
    void moveKnob(NSSlider *slider, double value);
    void releaseKnob(NSSlider *slider);
    void click(NSButton *button);
    // Text typed into a field and confirmed: the field's action is sent.
    void enterText(NSTextField *field, const std::string &text);

    // Runs work in a pool that drains when it returns.
    static void inPool(const std::function<void()> &work);

private:
    void dropController();

    const PaneBundle &bundle_;
    NSStrong<NSPreferencePane> pane_;
    NSStrong<NSInterface> interface_;
    bool shown_ = false;
};
