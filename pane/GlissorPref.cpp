// The pane controller: sliders and factor labels, the stored speeds, and
// the login-item checkbox.
#include "GlissorPref.h"

#include "CFRef.h"
#include "LoginItems.h"
#include "MouseFix.h"
#include "SliderValue.h"
#include "SpeedSettings.h"

NS_REGISTER_CLASS(GlissorPref, NSPreferencePane)
NS_OUTLET(GlissorPref, theCheckbox)
NS_OUTLET(GlissorPref, theMouseFactor)
NS_OUTLET(GlissorPref, theTrackpadFactor)
NS_OUTLET(GlissorPref, theMouseSlider)
NS_OUTLET(GlissorPref, theTrackpadSlider)
NS_ACTION(GlissorPref, checkboxClicked)
NS_ACTION(GlissorPref, mouseSliderMoved)
NS_ACTION(GlissorPref, trackpadSliderMoved)
NS_SELECTORS(GlissorPref, "buildFeedbackString:", "changeStartupItem:removeItem:", "setStartupItem:",
             "checkStartupItem")

namespace {

// The helper's name in the login items list: only the last path piece
// counts, so a helper of that name anywhere on disk is "registered".
const CFStringRef kHelperItemName = CFSTR("GlissorHelper.app");

// The identifier of the bundle that holds the class's code, which names the
// domain of the speeds. Autoreleased; nil when Info.plist declares none.
NSString *paneIdentifierOf(Class cls) {
    NSBundle *bundle = NSBundle::bundleForClass(cls);
    return bundle ? bundle->bundleIdentifier() : nil;
}

// The full path of the helper application among the bundle's resources.
// Autoreleased; nil when the bundle does not carry it.
NSString *helperPathOf(Class cls) {
    NSBundle *bundle = NSBundle::bundleForClass(cls);
    return bundle ? bundle->pathForResource_ofType(NSSTR("GlissorHelper"), NSSTR("app")) : nil;
}

// A stored speed as the pane reads it. Whatever answers floatValue gives
// that: a number its value, a boolean 1 or 0, text its leading number (0
// when it has none). Arrays, dictionaries, data and dates answer nothing
// and leave the default.
float storedSpeed(NSDictionary *stored, NSString *key) {
    NSObject *value = stored->objectForKey(key);
    if (!value || !value->respondsToSelector("floatValue")) return kGlissorDefaultSpeed;
    return value->floatValue();
}

// An unset outlet is nil, and a message to nil does nothing.
void setSlider(NSSlider *slider, float value) {
    if (slider) slider->setFloatValue(value);
}

// A nil text (it could not be made) leaves the label as it was.
void setLabel(NSTextField *label, NSString *text) {
    if (label && text) label->setStringValue(text);
}

// A float number for storing; NULL when it cannot be made.
CFRef<CFNumberRef> makeSpeedNumber(float speed) {
    return CFRef<CFNumberRef>::adopt(CFNumberCreate(kCFAllocatorDefault, kCFNumberFloatType, &speed));
}

// Setting a NULL value would delete the key, so a number that could not be
// made leaves the stored setting alone.
void storeSpeed(CFStringRef key, const CFRef<CFNumberRef> &number, CFStringRef domain) {
    if (number) CFPreferencesSetAppValue(key, number.get(), domain);
}

// The index of the first login item named like the helper, compared in
// any letter case; -1 when there is none.
int indexOfHelperItem(CFStringRef user) {
    int count = GetCountOfLoginItems(user);
    for (int index = 0; index < count; ++index) {
        auto name = CFRef<CFStringRef>::adopt(CopyLoginItemPropertyAtIndex(user, kLoginItemNameInfo, index));
        if (name && CFStringCompare(kHelperItemName, name.get(), kCFCompareCaseInsensitive) == kCFCompareEqualTo)
            return index;
    }
    return -1;
}

enum class MovedSlider { Mouse, Trackpad };

// Either slider's action: both speeds are read and sent together, mouse
// first; only the moved slider's label changes.
void applyBothSpeeds(GlissorPref *pane, MovedSlider moved) {
    float mouse = sliderValueOrZero(pane->theMouseSlider);
    float trackpad = sliderValueOrZero(pane->theTrackpadSlider);
    if (moved == MovedSlider::Mouse)
        setLabel(pane->theMouseFactor, pane->buildFeedbackString(mouse));
    else
        setLabel(pane->theTrackpadFactor, pane->buildFeedbackString(trackpad));
    (void)setMouseFix(mouse, trackpad);
}

}  // namespace

NSString *GlissorPref::buildFeedbackString(float value) {
    return NSString::stringWithFormat("%.1fx", static_cast<double>(value));
}

BOOL GlissorPref::changeStartupItem_removeItem(BOOL add, BOOL remove) {
    NSString *helperPath = helperPathOf(getClass());
    CFStringRef user = kCFPreferencesCurrentUser;
    int found = indexOfHelperItem(user);
    // Without the helper in the bundle there is no path worth registering.
    if (add && found < 0 && helperPath) (void)AddLoginItemWithPropertiesToUser(user, helperPath->cfString(), 1);
    if (remove && found >= 0) (void)RemoveLoginItemAtIndex(user, found);
    return found >= 0 ? YES : NO;
}

GlissorPref *GlissorPref::setStartupItem(BOOL on) {
    (void)changeStartupItem_removeItem(on, on ? NO : YES);
    return this;
}

BOOL GlissorPref::checkStartupItem() { return changeStartupItem_removeItem(NO, NO); }

void GlissorPref::mainViewDidLoad() {
    NSString *identifier = paneIdentifierOf(getClass());
    NSDictionary *stored = NSUserDefaults::standardUserDefaults()->persistentDomainForName(identifier);
    float mouse = kGlissorDefaultSpeed;
    float trackpad = kGlissorDefaultSpeed;
    // Each label shows the value read, even where the slider cannot hold it.
    if (stored) mouse = storedSpeed(stored, NSSTR(kGlissorMouseSpeedKey));
    setSlider(theMouseSlider, mouse);
    setLabel(theMouseFactor, buildFeedbackString(mouse));
    if (stored) trackpad = storedSpeed(stored, NSSTR(kGlissorTrackpadSpeedKey));
    setSlider(theTrackpadSlider, trackpad);
    setLabel(theTrackpadFactor, buildFeedbackString(trackpad));
    BOOL registered = checkStartupItem();
    if (theCheckbox) theCheckbox->setState(registered ? NSControlStateValueOn : NSControlStateValueOff);
}

void GlissorPref::checkboxClicked(NSObject *sender) {
    // Only a button has a state; anything else leaves the list alone.
    if (!sender || !sender->isKindOfClass(NSButton::staticClass())) return;
    // On (1) and mixed (-1) both register.
    setStartupItem(static_cast<NSButton *>(sender)->state() != NSControlStateValueOff ? YES : NO);
}

void GlissorPref::mouseSliderMoved(NSObject *) { applyBothSpeeds(this, MovedSlider::Mouse); }

void GlissorPref::trackpadSliderMoved(NSObject *) { applyBothSpeeds(this, MovedSlider::Trackpad); }

void GlissorPref::didUnselect() {
    NSString *identifier = paneIdentifierOf(getClass());
    // A bundle without an identifier names no domain to store in.
    if (!identifier) return;
    CFStringRef domain = identifier->cfString();
    CFRef<CFNumberRef> mouse = makeSpeedNumber(sliderValueOrZero(theMouseSlider));
    storeSpeed(CFSTR(kGlissorMouseSpeedKey), mouse, domain);
    CFRef<CFNumberRef> trackpad = makeSpeedNumber(sliderValueOrZero(theTrackpadSlider));
    storeSpeed(CFSTR(kGlissorTrackpadSpeedKey), trackpad, domain);
    (void)CFPreferencesAppSynchronize(domain);
}  // both numbers are released here
