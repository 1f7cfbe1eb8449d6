// The test pane's controller: a small pane that uses the platform the way
// the Glissor pane does, and prints each lifecycle call and action it gets
// ("TestPane: ...") so that a test can see their order.
#pragma once

#include <PreferencePanes/PreferencePanes.h>

class TestPanePref : public NSPreferencePane {
    NS_CLASS(TestPanePref, NSPreferencePane)

public:
    NSSlider *theSlider = nullptr;
    NSTextField *theLabel = nullptr;
    NSButton *theCheckbox = nullptr;

    // Autoreleased.
    NSString *buildFeedbackString(float value);
    void mainViewDidLoad() override;
    void didUnselect() override;
    void sliderMoved(NSObject *sender);
    void checkboxClicked(NSObject *sender);

protected:
    ~TestPanePref() override;
};
