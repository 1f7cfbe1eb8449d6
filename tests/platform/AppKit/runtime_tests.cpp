// The object runtime: classes by name, selectors, actions and outlets.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "appkit_test_support.h"

namespace {

class Recorder : public NSObject {
    NS_CLASS(Recorder, NSObject)

public:
    NSSlider *theSlider = nullptr;
    NSObject *theAnything = nullptr;
    std::vector<NSObject *> senders;
    void poke(NSObject *sender) { senders.push_back(sender); }
};

class LoudRecorder : public Recorder {
    NS_CLASS(LoudRecorder, Recorder)

public:
    int shouts = 0;
    void shout(NSObject *) { ++shouts; }
};

}  // namespace

NS_REGISTER_CLASS(Recorder, NSObject)
NS_OUTLET(Recorder, theSlider)
NS_OUTLET(Recorder, theAnything)
NS_ACTION(Recorder, poke)
NS_REGISTER_CLASS(LoudRecorder, Recorder)
NS_ACTION(LoudRecorder, shout)

using RuntimeTest = AppKitTest;

TEST_F(RuntimeTest, ClassesAreFoundByNameWithTheirSuperclassChain) {
    for (const char *name : {"NSObject", "NSString", "NSNumber", "NSDictionary", "NSArray", "NSData",
                             "NSDate", "NSBundle", "NSUserDefaults", "NSView", "NSControl",
                             "NSSlider", "NSTextField", "NSButton", "NSPreferencePane",
                             "Recorder", "LoudRecorder"}) {
        Class cls = NSClassFromString(name);
        ASSERT_NE(cls, nil) << name;
        EXPECT_STREQ(cls->name(), name);
        EXPECT_STREQ(NSStringFromClass(cls)->UTF8String(), name);
    }
    EXPECT_EQ(NSClassFromString("NSSlidr"), nil);
    EXPECT_EQ(NSClassFromString(static_cast<const char *>(nullptr)), nil);
    EXPECT_EQ(NSClassFromString(NSSTR("NSSlider")), NSSlider::staticClass());

    Class slider = NSSlider::staticClass();
    EXPECT_EQ(slider->superclass(), NSControl::staticClass());
    EXPECT_EQ(NSControl::staticClass()->superclass(), NSView::staticClass());
    EXPECT_EQ(NSObject::staticClass()->superclass(), nil);
    EXPECT_TRUE(slider->isSubclassOfClass(NSView::staticClass()));
    EXPECT_FALSE(NSView::staticClass()->isSubclassOfClass(slider));
    EXPECT_EQ(LoudRecorder::staticClass()->superclass(), Recorder::staticClass());
}

TEST_F(RuntimeTest, AnInstanceMadeFromItsClassKnowsItsClass) {
    NSObject *made = NSClassFromString("LoudRecorder")->alloc()->init();
    EXPECT_EQ(made->getClass(), LoudRecorder::staticClass());
    EXPECT_TRUE(made->isKindOfClass(Recorder::staticClass()));
    EXPECT_TRUE(made->isKindOfClass(NSObject::staticClass()));
    EXPECT_FALSE(made->isKindOfClass(NSView::staticClass()));
    EXPECT_TRUE(made->isMemberOfClass(LoudRecorder::staticClass()));
    EXPECT_FALSE(made->isMemberOfClass(Recorder::staticClass()));
    EXPECT_FALSE(made->isKindOfClass(nil));
    made->release();
}

TEST_F(RuntimeTest, ActionsAreSentBySelectorNameWithTheirSender) {
    LoudRecorder *recorder = LoudRecorder::new_();
    NSObject *sender = NSObject::new_();
    EXPECT_TRUE(recorder->respondsToSelector("poke:"));  // inherited
    EXPECT_TRUE(recorder->respondsToSelector("shout:"));
    EXPECT_FALSE(recorder->respondsToSelector("poke"));
    EXPECT_FALSE(recorder->respondsToSelector(nullptr));
    EXPECT_FALSE(Recorder::staticClass()->instancesRespondToSelector("shout:"));

    recorder->performSelector_withObject("poke:", sender);
    recorder->performSelector_withObject("shout:", nullptr);
    ASSERT_EQ(recorder->senders.size(), 1u);
    EXPECT_EQ(recorder->senders[0], sender);
    EXPECT_EQ(recorder->shouts, 1);
    sender->release();
    recorder->release();
}

TEST_F(RuntimeTest, OutletsAreSetByNameAndKnowTheirType) {
    Class cls = LoudRecorder::staticClass();
    const NSRuntimeClass::Outlet *slider = cls->outletNamed("theSlider");  // inherited
    ASSERT_NE(slider, nullptr);
    EXPECT_EQ(slider->type, NSSlider::staticClass());
    ASSERT_NE(cls->outletNamed("theAnything"), nullptr);
    EXPECT_EQ(cls->outletNamed("theAnything")->type, NSObject::staticClass());
    EXPECT_EQ(cls->outletNamed("theSlidr"), nullptr);

    LoudRecorder *recorder = LoudRecorder::new_();
    NSSlider *control = NSSlider::new_();
    slider->assign(recorder, control);
    EXPECT_EQ(recorder->theSlider, control);
    // Outlets are not retained.
    EXPECT_EQ(control->retainCount(), 1u);
    control->release();
    recorder->release();
}

TEST_F(RuntimeTest, OnlyStringsNumbersAndControlsAnswerTheValueSelectors) {
    NSSlider *slider = NSSlider::new_()->autorelease();
    slider->setFloatValue(0.5f);
    NSObject *values[] = {NSSTR("2.5"), NSNumber::numberWithFloat(2.5f), slider};
    for (NSObject *value : values) {
        EXPECT_TRUE(value->respondsToSelector("floatValue")) << value->getClass()->name();
        EXPECT_NE(value->floatValue(), 0.0f) << value->getClass()->name();
    }
    NSObject *others[] = {NSArray::array(), NSDictionary::dictionary(), NSView::new_()->autorelease(),
                          NSData::dataWithBytes_length("x", 1),
                          NSDate::dateWithTimeIntervalSinceReferenceDate(5)};
    for (NSObject *other : others)
        EXPECT_FALSE(other->respondsToSelector("floatValue")) << other->getClass()->name();
}

using RuntimeDeathTest = AppKitTest;

TEST_F(RuntimeDeathTest, SendingAnUnansweredSelectorStopsTheProcess) {
    EXPECT_DEATH(NSArray::array()->floatValue(),
                 "-\\[NSArray floatValue\\]: unrecognized selector sent to instance");
    EXPECT_DEATH(NSView::new_()->stringValue(), "-\\[NSView stringValue\\]: unrecognized selector");
    EXPECT_DEATH(Recorder::new_()->performSelector_withObject("shout:", nil),
                 "-\\[Recorder shout:\\]: unrecognized selector");
    // Only actions travel by name, even for selectors the object answers.
    EXPECT_DEATH(NSSTR("x")->performSelector_withObject("floatValue", nil), "unrecognized selector");
}
