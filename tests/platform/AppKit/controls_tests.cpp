// Views and controls: the slider's range, the button's click cycle,
// text fields, and actions sent by user input.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "appkit_test_support.h"

namespace {

// Counts the actions it gets, with their senders.
class ActionCounter : public NSObject {
    NS_CLASS(ActionCounter, NSObject)

public:
    std::vector<NSObject *> senders;
    std::vector<double> values;
    void changed(NSObject *sender) {
        senders.push_back(sender);
        values.push_back(static_cast<NSControl *>(sender)->doubleValue());
    }
};

}  // namespace

NS_REGISTER_CLASS(ActionCounter, NSObject)
NS_ACTION(ActionCounter, changed)

class ControlsTest : public AppKitTest {
protected:
    void SetUp() override {
        AppKitTest::SetUp();
        counter = ActionCounter::new_()->autorelease();
    }
    void connect(NSControl *control) {
        control->setTarget(counter);
        control->setAction("changed:");
    }
    ActionCounter *counter = nullptr;
};

TEST_F(ControlsTest, ASliderKeepsItsValueInRange) {
    NSSlider *slider = NSSlider::alloc()->initWithFrame(NSMakeRect(0, 0, 100, 20))->autorelease();
    EXPECT_EQ(slider->minValue(), 0);
    EXPECT_EQ(slider->maxValue(), 1);
    EXPECT_EQ(slider->doubleValue(), 0);
    EXPECT_TRUE(slider->isContinuous());

    slider->setMaxValue(4);
    slider->setFloatValue(2.5f);
    EXPECT_EQ(slider->floatValue(), 2.5f);
    slider->setFloatValue(9.0f);
    EXPECT_EQ(slider->floatValue(), 4.0f);
    slider->setFloatValue(-1.0f);
    EXPECT_EQ(slider->floatValue(), 0.0f);
    slider->setDoubleValue(std::numeric_limits<double>::infinity());
    EXPECT_EQ(slider->doubleValue(), 4);
    slider->setDoubleValue(std::nan(""));
    EXPECT_EQ(slider->doubleValue(), 0);

    // A narrower range moves the value into it.
    slider->setDoubleValue(3.5);
    slider->setMaxValue(3);
    EXPECT_EQ(slider->doubleValue(), 3);
    slider->setMinValue(3.25);
    EXPECT_EQ(slider->doubleValue(), 3.25);
    // A float set comes back as the same float.
    slider->setMinValue(0);
    slider->setFloatValue(1.1f);
    EXPECT_EQ(slider->floatValue(), 1.1f);
    EXPECT_STREQ(slider->stringValue()->UTF8String(), "1.1");
    EXPECT_EQ(slider->intValue(), 1);
}

TEST_F(ControlsTest, ADragSendsTheActionOnceWhetherContinuousOrNot) {
    NSSlider *continuous = NSSlider::new_()->autorelease();
    NSSlider *onRelease = NSSlider::new_()->autorelease();
    onRelease->setContinuous(NO);
    connect(continuous);
    connect(onRelease);

    continuous->dragKnobToValue(0.25);
    EXPECT_EQ(counter->senders.size(), 1u);  // while dragging
    continuous->releaseKnob();
    EXPECT_EQ(counter->senders.size(), 1u);

    onRelease->dragKnobToValue(0.75);
    onRelease->dragKnobToValue(5);  // kept in range
    EXPECT_EQ(counter->senders.size(), 1u);
    onRelease->releaseKnob();
    ASSERT_EQ(counter->senders.size(), 2u);
    EXPECT_EQ(counter->senders[0], continuous);
    EXPECT_EQ(counter->senders[1], onRelease);
    EXPECT_EQ(counter->values[1], 1.0);

    // Programmatic changes send nothing; no target or action, nothing to send.
    continuous->setDoubleValue(0.5);
    EXPECT_EQ(counter->senders.size(), 2u);
    NSSlider *unconnected = NSSlider::new_()->autorelease();
    unconnected->dragKnobToValue(0.5);
    EXPECT_FALSE(unconnected->sendAction_to("changed:", nil));
    EXPECT_FALSE(unconnected->sendAction_to(nil, counter));
    EXPECT_TRUE(unconnected->sendAction_to("changed:", counter));
    EXPECT_EQ(counter->senders.size(), 3u);
}

TEST_F(ControlsTest, ACheckboxClickCyclesAsThePlatformDoes) {
    NSButton *checkbox = NSButton::new_()->autorelease();
    checkbox->setButtonType(NSButtonTypeSwitch);
    connect(checkbox);
    std::vector<NSControlStateValue> seen;
    for (int click = 0; click < 3; ++click) {
        checkbox->performClick(nil);
        seen.push_back(checkbox->state());
    }
    EXPECT_EQ(seen, (std::vector<NSControlStateValue>{NSOnState, NSOffState, NSOnState}));
    EXPECT_EQ(counter->values, (std::vector<double>{1, 0, 1}));
    EXPECT_EQ(counter->senders[0], checkbox);

    // Two states: mixed cannot be set; any non-zero state is on.
    checkbox->setState(NSMixedState);
    EXPECT_EQ(checkbox->state(), NSOnState);
    checkbox->setState(5);
    EXPECT_EQ(checkbox->state(), NSOnState);
    checkbox->setState(0);
    EXPECT_EQ(checkbox->state(), NSOffState);

    // Three states: on -> off -> mixed -> on.
    checkbox->setAllowsMixedState(YES);
    checkbox->setState(-7);
    EXPECT_EQ(checkbox->state(), NSControlStateValueMixed);
    seen.clear();
    for (int click = 0; click < 4; ++click) {
        checkbox->performClick(nil);
        seen.push_back(checkbox->state());
    }
    EXPECT_EQ(seen, (std::vector<NSControlStateValue>{NSOnState, NSOffState, NSMixedState, NSOnState}));
}

TEST_F(ControlsTest, PushButtonsKeepTheirStateAndDisabledButtonsIgnoreClicks) {
    NSButton *button = NSButton::new_()->autorelease();
    connect(button);
    EXPECT_EQ(button->buttonType(), NSButtonTypeMomentaryPushIn);
    EXPECT_STREQ(button->title()->UTF8String(), "Button");
    button->performClick(nil);
    EXPECT_EQ(button->state(), NSOffState);
    EXPECT_EQ(counter->senders.size(), 1u);

    button->setButtonType(NSButtonTypeRadio);
    button->performClick(nil);
    button->performClick(nil);
    EXPECT_EQ(button->state(), NSOnState);

    button->setEnabled(NO);
    button->setButtonType(NSButtonTypeSwitch);
    button->performClick(nil);
    EXPECT_EQ(button->state(), NSOnState);
    EXPECT_EQ(counter->senders.size(), 3u);
    EXPECT_STREQ(button->stringValue()->UTF8String(), "1");
}

TEST_F(ControlsTest, ATextFieldsValueIsItsText) {
    NSTextField *field = NSTextField::new_()->autorelease();
    EXPECT_STREQ(field->stringValue()->UTF8String(), "");
    NSString *label = NSString::stringWithFormat("%.1fx", 1.5);
    field->setStringValue(label);
    EXPECT_TRUE(field->stringValue()->isEqualToString(label));
    EXPECT_EQ(field->floatValue(), 1.5f);
    field->setFloatValue(1.1f);
    EXPECT_STREQ(field->stringValue()->UTF8String(), "1.1");
    field->setDoubleValue(0.1);
    EXPECT_STREQ(field->stringValue()->UTF8String(), "0.1");
    field->setIntValue(-3);
    EXPECT_EQ(field->intValue(), -3);
    EXPECT_STREQ(field->stringValue()->UTF8String(), "-3");
}

TEST_F(ControlsTest, ViewsOwnTheirSubviewsAndTrackDisplay) {
    long before = NSTestingLiveObjectCount();
    NSView *parent = NSView::alloc()->initWithFrame(NSMakeRect(10, 20, 110, 55));
    EXPECT_TRUE(NSEqualRects(parent->bounds(), NSMakeRect(0, 0, 110, 55)));
    EXPECT_FALSE(parent->isFlipped());
    NSSlider *child = NSSlider::new_();
    NSView *grandchild = NSView::new_();
    parent->addSubview(child);
    child->addSubview(grandchild);
    EXPECT_EQ(child->superview(), parent);
    EXPECT_EQ(parent->subviews().size(), 1u);
    EXPECT_EQ(child->retainCount(), 2u);
    child->release();
    grandchild->release();

    parent->setNeedsDisplay(NO);
    parent->setFrameOrigin(NSMakePoint(0, 0));
    EXPECT_FALSE(parent->needsDisplay());  // a move alone is no redraw
    parent->setFrameSize(NSMakeSize(220, 110));
    EXPECT_TRUE(parent->needsDisplay());
    EXPECT_TRUE(NSEqualRects(parent->bounds(), NSMakeRect(0, 0, 220, 110)));

    grandchild->retain();
    grandchild->removeFromSuperview();
    EXPECT_EQ(grandchild->superview(), nil);
    EXPECT_TRUE(child->subviews().empty());
    grandchild->release();
    parent->release();  // frees the child too
    EXPECT_EQ(NSTestingLiveObjectCount(), before);
}

using ControlsDeathTest = AppKitTest;

TEST_F(ControlsDeathTest, AViewCannotContainItself) {
    NSView *parent = NSView::new_()->autorelease();
    NSView *child = NSView::new_()->autorelease();
    parent->addSubview(child);
    EXPECT_DEATH(child->addSubview(parent), "a view cannot be its own subview");
    EXPECT_DEATH(parent->addSubview(parent), "a view cannot be its own subview");
}
