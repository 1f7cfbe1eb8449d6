#include "pane_session.h"

namespace {

const std::vector<std::pair<std::string, NSObject *>> noObjects;

}  // namespace

void PaneSession::inPool(const std::function<void()> &work) {
    NSAutoreleasePool *pool = NSAutoreleasePool::alloc()->init();
    work();
    pool->drain();
}

PaneSession::~PaneSession() { dropController(); }

void PaneSession::dropController() {
    // The controller's dealloc is pane code too.
    inPool([this] {
        interface_.reset();
        pane_.reset();
    });
    shown_ = false;
}

Status PaneSession::show() {
    dropController();
    std::string error;
    inPool([&] {
        NSPreferencePane *made = static_cast<NSPreferencePane *>(bundle_.principalClass()->alloc());
        pane_.adopt(made->initWithBundle(bundle_.bundle()));
    });
    if (!pane_) return Failure("the principal class did not initialise");
    inPool([&] {
        if (!pane_->loadMainView()) error = pane_->mainViewLoadError();
    });
    if (!error.empty()) {
        dropController();
        return Failure("cannot load the main view: " + error);
    }
    interface_.retain(pane_->mainInterface());
    shown_ = true;
    return Status::success();
}

Status PaneSession::leave() {
    if (!shown_) return Failure("the pane is not shown");
    inPool([this] { pane_->didUnselect(); });
    shown_ = false;
    return Status::success();
}

Status PaneSession::reload() { return show(); }

NSObject *PaneSession::objectNamed(const std::string &name) const {
    return interface_ ? interface_->objectNamed(name) : nil;
}

const std::vector<std::pair<std::string, NSObject *>> &PaneSession::namedObjects() const {
    return interface_ ? interface_->namedObjects() : noObjects;
}

void PaneSession::dragSlider(NSSlider *slider, double value) {
    // A drag that ends at the value: a continuous slider sends its action
    // while moving, another one on release; here either sends it once.
    inPool([&] {
        slider->dragKnobToValue(value);
        slider->releaseKnob();
    });
}

void PaneSession::moveKnob(NSSlider *slider, double value) {
    inPool([&] { slider->dragKnobToValue(value); });
}

void PaneSession::releaseKnob(NSSlider *slider) {
    inPool([&] { slider->releaseKnob(); });
}

void PaneSession::enterText(NSTextField *field, const std::string &text) {
    inPool([&] {
        NSString *value = NSString::stringWithUTF8String(text.c_str());
        // Text that is no valid UTF-8 gives no string; the field keeps its own.
        if (!value) return;
        field->setStringValue(value);
        if (field->action()) field->sendAction_to(field->action(), field->target());
    });
}

void PaneSession::click(NSButton *button) {
    inPool([&] { button->performClick(button); });
}
