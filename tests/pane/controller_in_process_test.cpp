// GlissorPref run in this process. The test program is the executable of a
// pane bundle of its own (GlissorInProcess.prefPane, with Glissor's
// Info.plist and interface file and a GlissorHelper.app), so the class finds
// its bundle, identifier and helper as it does in the plug-in. Every test
// checks that the Core Foundation values and the objects it made are gone.
#include "GlissorPref.h"

#include "CFText.h"
#include "LoginItems.h"
#include "PaneIdentifier.h"
#include "event_daemon.h"
#include "temp_home.h"

#include <AppKit/AppKitTesting.h>
#include <CoreFoundation/CFTesting.h>

#include <filesystem>
#include <optional>


namespace {

const CFStringRef kUser = kCFPreferencesCurrentUser;

std::string inProcessHelperPath() {
    return std::filesystem::weakly_canonical(std::string(PANE_IN_PROCESS_BUNDLE) +
                                             "/Contents/Resources/GlissorHelper.app");
}

std::vector<std::string> loginItemPaths() {
    std::vector<std::string> paths;
    for (int index = 0, count = GetCountOfLoginItems(kUser); index < count; ++index) {
        auto path = CFRef<CFStringRef>::adopt(CopyLoginItemPropertyAtIndex(kUser, kLoginItemPathInfo, index));
        paths.push_back(UTF8FromCFString(path.get()));
    }
    return paths;
}

void addLoginItem(const char *path) {
    auto text = CFStringFromUTF8(path);
    ASSERT_TRUE(AddLoginItemWithPropertiesToUser(kUser, text.get(), 1));
}

void storeSpeed(const char *key, float speed) {
    auto name = CFStringFromUTF8(key);
    auto number = CFRef<CFNumberRef>::adopt(CFNumberCreate(kCFAllocatorDefault, kCFNumberFloatType, &speed));
    CFPreferencesSetAppValue(name.get(), number.get(), kGlissorPaneIdentifier);
    ASSERT_TRUE(CFPreferencesAppSynchronize(kGlissorPaneIdentifier));
}

std::optional<float> storedSpeed(const char *key) {
    auto name = CFStringFromUTF8(key);
    auto value = CFRef<CFPropertyListRef>::adopt(CFPreferencesCopyAppValue(name.get(), kGlissorPaneIdentifier));
    auto number = CFCastIfType<CFNumberRef>(value.get(), CFNumberGetTypeID());
    float speed = 0;
    if (!number) return std::nullopt;
    CFNumberGetValue(number, kCFNumberFloatType, &speed);
    return speed;
}

class ControllerTest : public glissor_test::LiveValueTest {
protected:
    void SetUp() override {
        LiveValueTest::SetUp();
        objectsAtStart = NSTestingLiveObjectCount();
        pool = NSAutoreleasePool::alloc()->init();
    }
    void TearDown() override {
        for (NSObject *object : owned) object->release();
        pool->drain();
        EXPECT_EQ(NSTestingLiveObjectCount(), objectsAtStart) << "objects leaked or over-released";
        LiveValueTest::TearDown();
    }

    // A controller made by class name, not yet showing anything.
    GlissorPref *makeController() {
        Class cls = NSClassFromString("GlissorPref");
        EXPECT_TRUE(cls && cls->isSubclassOfClass(NSPreferencePane::staticClass()));
        if (!cls) return nullptr;
        auto *pane = static_cast<GlissorPref *>(
            static_cast<NSPreferencePane *>(cls->alloc())->initWithBundle(NSBundle::mainBundle()));
        owned.push_back(pane);
        return pane;
    }
    // A controller showing the bundle's interface file, as the host shows it.
    GlissorPref *showController() {
        GlissorPref *pane = makeController();
        EXPECT_TRUE(pane && pane->loadMainView()) << (pane ? pane->mainViewLoadError() : "");
        return pane;
    }
    template <typename T>
    T *own(T *object) {
        owned.push_back(object);
        return object;
    }

    glissor_test::TempHome home;
    glissor_test::EventDaemon daemon;
    long objectsAtStart = 0;
    NSAutoreleasePool *pool = nullptr;
    std::vector<NSObject *> owned;  // released before the pool drains
};

}  // namespace

TEST_F(ControllerTest, ChangeStartupItemWithBothArgumentsToggles) {
    GlissorPref *pane = showController();
    ASSERT_TRUE(pane);
    EXPECT_EQ(pane->changeStartupItem_removeItem(YES, YES), NO);
    EXPECT_EQ(loginItemPaths(), std::vector<std::string>{inProcessHelperPath()});
    EXPECT_EQ(pane->changeStartupItem_removeItem(YES, YES), YES);
    EXPECT_EQ(loginItemPaths(), std::vector<std::string>{});

    addLoginItem("/Volumes/Old/GLISSORHELPER.APP");
    addLoginItem("/Users/me/GlissorHelper.app");
    EXPECT_EQ(pane->checkStartupItem(), YES);
    EXPECT_EQ(loginItemPaths().size(), 2u) << "checking changed the list";
    EXPECT_EQ(pane->changeStartupItem_removeItem(YES, YES), YES);
    EXPECT_EQ(loginItemPaths(), std::vector<std::string>{"/Users/me/GlissorHelper.app"});
    EXPECT_EQ(pane->setStartupItem(NO), pane);
    EXPECT_EQ(loginItemPaths(), std::vector<std::string>{});
    EXPECT_EQ(pane->changeStartupItem_removeItem(NO, YES), NO) << "nothing to remove";
    EXPECT_EQ(loginItemPaths(), std::vector<std::string>{});
}

TEST_F(ControllerTest, AShownPaneReadsAppliesAndStoresWithoutLeaking) {
    storeSpeed("MouseSpeed", 2.0f);
    addLoginItem("/Users/me/GlissorHelper.app");
    GlissorPref *pane = showController();
    ASSERT_TRUE(pane && pane->theMouseSlider && pane->theTrackpadSlider && pane->theCheckbox);
    EXPECT_EQ(pane->theMouseSlider->floatValue(), 2.0f);
    EXPECT_EQ(pane->theCheckbox->state(), NSControlStateValueOn);

    pane->theTrackpadSlider->dragKnobToValue(0.5);
    EXPECT_EQ(daemon.get("HIDMouseAcceleration"), "131072");
    EXPECT_EQ(daemon.get("HIDTrackpadAcceleration"), "32768");
    EXPECT_EQ(pane->theTrackpadFactor->stringValue()->stdString(), "0.5x");
    pane->theCheckbox->performClick(nil);
    EXPECT_EQ(loginItemPaths(), std::vector<std::string>{});

    pane->didUnselect();
    EXPECT_EQ(storedSpeed("MouseSpeed"), 2.0f);
    EXPECT_EQ(storedSpeed("TrackpadSpeed"), 0.5f);
}

TEST_F(ControllerTest, AllocationFailuresWhileLeavingNeverRemoveAStoredSpeed) {
    storeSpeed("MouseSpeed", 2.0f);
    storeSpeed("TrackpadSpeed", 2.0f);
    GlissorPref *pane = showController();
    ASSERT_TRUE(pane);
    pane->theMouseSlider->setFloatValue(0.5f);
    pane->theTrackpadSlider->setFloatValue(0.5f);
    CFIndex before = CFTestingAllocationCount();
    pane->didUnselect();
    CFIndex allocations = CFTestingAllocationCount() - before;
    ASSERT_GT(allocations, 0);

    for (CFIndex nth = 1; nth <= allocations; ++nth) {
        SCOPED_TRACE("allocation " + std::to_string(nth) + " of " + std::to_string(allocations) + " failed");
        storeSpeed("MouseSpeed", 2.0f);
        storeSpeed("TrackpadSpeed", 2.0f);
        CFTestingFailAllocation(nth);
        pane->didUnselect();
        CFTestingFailAllocation(0);
        for (const char *key : {"MouseSpeed", "TrackpadSpeed"}) {
            std::optional<float> stored = storedSpeed(key);
            ASSERT_TRUE(stored) << key << " was removed";
            EXPECT_TRUE(*stored == 2.0f || *stored == 0.5f) << key << " is " << *stored;
        }
    }
    // A leave whose write failed keeps the speeds pending, as a failed
    // synchronize does; the next write that succeeds takes them along.
    storeSpeed("MouseSpeed", 0.5f);
}

TEST_F(ControllerTest, UnsetOutletsAndSendersThatAreNoButtonsChangeNothing) {
    addLoginItem("/Users/me/GlissorHelper.app");
    GlissorPref *pane = makeController();
    ASSERT_TRUE(pane);
    pane->mainViewDidLoad();
    pane->mouseSliderMoved(nil);
    pane->trackpadSliderMoved(nil);
    NSSlider *slider = own(NSSlider::alloc()->initWithFrame(NSZeroRect));
    pane->checkboxClicked(slider);
    pane->checkboxClicked(nil);
    EXPECT_EQ(loginItemPaths(), std::vector<std::string>{"/Users/me/GlissorHelper.app"});

    NSButton *checkbox = own(NSButton::alloc()->initWithFrame(NSZeroRect));
    NSClassFromString("GlissorPref")->outletNamed("theCheckbox")->assign(pane, checkbox);
    pane->mainViewDidLoad();
    EXPECT_EQ(checkbox->state(), NSControlStateValueOn);
}
