#include "TestPanePref.h"

#include <cstdio>

NS_REGISTER_CLASS(TestPanePref, NSPreferencePane)
NS_OUTLET(TestPanePref, theSlider)
NS_OUTLET(TestPanePref, theLabel)
NS_OUTLET(TestPanePref, theCheckbox)
NS_ACTION(TestPanePref, sliderMoved)
NS_ACTION(TestPanePref, checkboxClicked)
NS_SELECTORS(TestPanePref, "buildFeedbackString:")

namespace {

const char *nameOf(NSObject *sender) {
    if (!sender || !sender->isKindOfClass(NSView::staticClass())) return "?";
    NSString *identifier = static_cast<NSView *>(sender)->identifier();
    return identifier ? identifier->UTF8String() : "?";
}

}  // namespace

NSString *TestPanePref::buildFeedbackString(float value) {
    return NSString::stringWithFormat(NSSTR("%.1fx"), static_cast<double>(value));
}

void TestPanePref::mainViewDidLoad() {
    NSBundle *paneBundle = NSBundle::bundleForClass(getClass());
    NSString *identifier = paneBundle->bundleIdentifier();
    NSDictionary *stored =
        NSUserDefaults::standardUserDefaults()->persistentDomainForName(identifier);
    float speed = 1.0f;
    if (stored) {
        NSObject *value = stored->objectForKey(NSSTR("Speed"));
        if (value && value->respondsToSelector("floatValue")) speed = value->floatValue();
    }
    theSlider->setFloatValue(speed);
    theLabel->setStringValue(buildFeedbackString(speed));
    NSString *helper = paneBundle->pathForResource_ofType(NSSTR("TestHelper"), NSSTR("app"));
    std::printf("TestPane: mainViewDidLoad %s helper=%s\n", identifier ? identifier->UTF8String() : "-",
                helper ? "found" : "missing");
}

void TestPanePref::didUnselect() {
    NSString *identifier = NSBundle::bundleForClass(getClass())->bundleIdentifier();
    float speed = theSlider->floatValue();
    CFNumberRef number = CFNumberCreate(kCFAllocatorDefault, kCFNumberFloatType, &speed);
    CFPreferencesSetAppValue(CFSTR("Speed"), number, identifier->cfString());
    Boolean written = CFPreferencesAppSynchronize(identifier->cfString());
    CFRelease(number);
    std::printf("TestPane: didUnselect stored %g %s\n", static_cast<double>(speed),
                written ? "written" : "not written");
}

void TestPanePref::sliderMoved(NSObject *sender) {
    float speed = theSlider->floatValue();
    theLabel->setStringValue(buildFeedbackString(speed));
    std::printf("TestPane: sliderMoved: %g from %s\n", static_cast<double>(speed), nameOf(sender));
}

void TestPanePref::checkboxClicked(NSObject *sender) {
    std::printf("TestPane: checkboxClicked: state %ld from %s\n",
                static_cast<NSButton *>(sender)->state(), nameOf(sender));
}

TestPanePref::~TestPanePref() { std::printf("TestPane: dealloc\n"); }
