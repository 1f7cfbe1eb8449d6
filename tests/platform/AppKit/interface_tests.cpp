// The interface-file loader: objects by class name, outlets and actions by
// name, and one clear error (with nothing changed) for a broken file.
#include <gtest/gtest.h>

#include <vector>

#include "appkit_test_support.h"

using glissor_test::TempDir;
using glissor_test::write_file;

namespace {

class LayoutOwner : public NSObject {
    NS_CLASS(LayoutOwner, NSObject)

public:
    NSSlider *theSlider = nullptr;
    NSTextField *theLabel = nullptr;
    NSButton *theCheckbox = nullptr;
    std::vector<NSObject *> moves;
    void sliderMoved(NSObject *sender) { moves.push_back(sender); }
};

class GaugeView : public NSView {
    NS_CLASS(GaugeView, NSView)

public:
    NSSlider *theSource = nullptr;
    int updates = 0;
    void update(NSObject *) { ++updates; }
};

std::string frame() { return "<key>Frame</key><array><real>1</real><real>2</real><real>30</real><real>40</real></array>"; }

std::string view(const std::string &name, const std::string &cls, const std::string &extra = "") {
    return "<dict><key>Name</key><string>" + name + "</string><key>Class</key><string>" + cls +
           "</string>" + frame() + extra + "</dict>";
}

std::string action(const std::string &target, const std::string &selector) {
    return "<key>Action</key><dict><key>Target</key><string>" + target +
           "</string><key>Selector</key><string>" + selector + "</string></dict>";
}

std::string outlets(const std::vector<std::pair<std::string, std::string>> &pairs) {
    std::string body = "<key>Outlets</key><dict>";
    for (const auto &[outlet, object] : pairs)
        body += "<key>" + outlet + "</key><string>" + object + "</string>";
    return body + "</dict>";
}

std::string ownerOutlets() {
    return "<key>FilesOwner</key><dict><key>Class</key><string>LayoutOwner</string>" +
           outlets({{"theSlider", "theSlider"}, {"theLabel", "theLabel"}, {"theCheckbox", "theCheckbox"}}) +
           "</dict>";
}

std::string standardSubviews() {
    return view("theSlider", "NSSlider",
                "<key>MinValue</key><real>0.5</real><key>MaxValue</key><integer>3</integer>"
                "<key>Value</key><real>9</real><key>Continuous</key><false/>" +
                    action("File's Owner", "sliderMoved:")) +
           view("theLabel", "NSTextField", "<key>Text</key><string>1.0x</string><key>Editable</key><false/>") +
           view("theCheckbox", "NSButton",
                "<key>ButtonType</key><string>switch</string><key>Title</key><string>Start</string>"
                "<key>AllowsMixedState</key><true/><key>State</key><integer>-1</integer>") +
           view("source", "NSSlider", action("gauge", "update:")) +
           view("gauge", "GaugeView", outlets({{"theSource", "source"}}));
}

std::string layout(const std::string &owner, const std::string &subviews) {
    return plistDocument("<dict><key>Version</key><integer>1</integer>" + owner +
                         "<key>MainView</key>" +
                         view("main", "NSView", "<key>Subviews</key><array>" + subviews + "</array>") +
                         "</dict>");
}

}  // namespace

NS_REGISTER_CLASS(LayoutOwner, NSObject)
NS_OUTLET(LayoutOwner, theSlider)
NS_OUTLET(LayoutOwner, theLabel)
NS_OUTLET(LayoutOwner, theCheckbox)
NS_ACTION(LayoutOwner, sliderMoved)
NS_REGISTER_CLASS(GaugeView, NSView)
NS_OUTLET(GaugeView, theSource)
NS_ACTION(GaugeView, update)

class InterfaceTest : public AppKitTest {
protected:
    void SetUp() override {
        AppKitTest::SetUp();
        owner = LayoutOwner::new_();  // outlives the drains inside a test
    }
    void TearDown() override {
        owner->release();
        AppKitTest::TearDown();
    }
    Result<NSInterface *> load(const std::string &content) {
        std::string path = dir.path() + "/Test.layout";
        write_file(path, content);
        return NSInterface::interfaceWithContentsOfFile_owner(NSString::stringWithUTF8String(path.c_str()), owner);
    }
    TempDir dir;
    LayoutOwner *owner = nullptr;
};

TEST_F(InterfaceTest, AFileBuildsItsViewsAndConnectsOutletsAndActions) {
    long before = NSTestingLiveObjectCount();
    Result<NSInterface *> result = load(layout(ownerOutlets(), standardSubviews()));
    ASSERT_TRUE(result) << result.message();
    NSInterface *loaded = *result;
    ASSERT_NE(loaded, nil);
    loaded->retain();
    drainPool();

    NSView *main = loaded->mainView();
    ASSERT_NE(main, nil);
    EXPECT_TRUE(NSEqualRects(main->frame(), NSMakeRect(1, 2, 30, 40)));
    EXPECT_EQ(main->subviews().size(), 5u);
    std::vector<std::string> names;
    for (const auto &[name, object] : loaded->namedObjects()) names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"main", "theSlider", "theLabel", "theCheckbox", "source", "gauge"}));

    NSSlider *slider = owner->theSlider;
    ASSERT_EQ(slider, loaded->objectNamed("theSlider"));
    EXPECT_STREQ(slider->identifier()->UTF8String(), "theSlider");
    EXPECT_EQ(slider->minValue(), 0.5);
    EXPECT_EQ(slider->maxValue(), 3);
    EXPECT_EQ(slider->doubleValue(), 3);  // the file's value, kept in range
    EXPECT_FALSE(slider->isContinuous());
    EXPECT_STREQ(owner->theLabel->stringValue()->UTF8String(), "1.0x");
    EXPECT_FALSE(owner->theLabel->isEditable());
    EXPECT_EQ(owner->theCheckbox->state(), NSMixedState);
    EXPECT_EQ(owner->theCheckbox->buttonType(), NSButtonTypeSwitch);
    EXPECT_STREQ(owner->theCheckbox->title()->UTF8String(), "Start");

    slider->dragKnobToValue(2);
    slider->releaseKnob();
    ASSERT_EQ(owner->moves.size(), 1u);
    EXPECT_EQ(owner->moves[0], slider);
    GaugeView *gauge = static_cast<GaugeView *>(loaded->objectNamed("gauge"));
    NSSlider *source = static_cast<NSSlider *>(loaded->objectNamed("source"));
    EXPECT_EQ(gauge->theSource, source);
    source->dragKnobToValue(0.5);
    EXPECT_EQ(gauge->updates, 1);
    EXPECT_EQ(loaded->objectNamed("File's Owner"), nil);
    EXPECT_EQ(loaded->objectNamed("nothing"), nil);

    loaded->release();
    drainPool();
    EXPECT_EQ(NSTestingLiveObjectCount(), before);
}

TEST_F(InterfaceTest, ABrokenFileIsRefusedWithOneLineAndChangesNothing) {
    struct Case {
        const char *what;
        std::string content;
        const char *message;
    };
    const std::string subviews = standardSubviews();
    const Case cases[] = {
        {"not a plist", "<plist><dict><key>", "not a property list"},
        {"not a dictionary", plistDocument("<array/>"), "the top level is not a dictionary"},
        {"no version", plistDocument("<dict><key>MainView</key>" + view("m", "NSView") + "</dict>"),
         "Version must be 1"},
        {"unknown top key", plistDocument("<dict><key>Version</key><integer>1</integer><key>Extra</key><true/></dict>"),
         "unknown key 'Extra'"},
        {"no main view", plistDocument("<dict><key>Version</key><integer>1</integer></dict>"), "no MainView"},
        {"unknown class", layout(ownerOutlets(), subviews + view("x", "NSSlidr")), "'x': unknown class 'NSSlidr'"},
        {"not a view", layout("", view("x", "NSString")), "class 'NSString' is not a view"},
        {"no name", layout("", "<dict><key>Class</key><string>NSView</string>" + frame() + "</dict>"),
         "a view without a Name"},
        {"taken name", layout("", view("twice", "NSView") + view("twice", "NSSlider")), "'twice': the name is taken"},
        {"owner's name", layout("", view("File's Owner", "NSView")), "the name is taken"},
        {"bad frame", layout("", "<dict><key>Name</key><string>f</string><key>Class</key><string>NSView</string>"
                                 "<key>Frame</key><array><real>1</real></array></dict>"),
         "'f': Frame must be an array of four"},
        {"misspelt key", layout("", view("s", "NSSlider", "<key>Contiuous</key><true/>")),
         "'s' (NSSlider): unknown key 'Contiuous' for NSSlider"},
        {"key of another class", layout("", view("b", "NSButton", "<key>MinValue</key><real>1</real>")),
         "unknown key 'MinValue' for NSButton"},
        {"action on a view", layout("", view("v", "NSView", action("File's Owner", "sliderMoved:"))),
         "unknown key 'Action' for NSView"},
        {"wrong value type", layout("", view("s", "NSSlider", "<key>Value</key><string>1</string>")),
         "Value must be a finite number"},
        {"bad state", layout("", view("b", "NSButton", "<key>State</key><integer>2</integer>")), "State must be -1, 0 or 1"},
        {"bad button type", layout("", view("b", "NSButton", "<key>ButtonType</key><string>knob</string>")),
         "ButtonType must be one of"},
        {"inverted range",
         layout("", view("s", "NSSlider", "<key>MinValue</key><real>2</real><key>MaxValue</key><real>1</real>")),
         "MinValue is above MaxValue"},
        {"unknown owner outlet",
         layout("<key>FilesOwner</key><dict>" + outlets({{"theMouseSlidr", "theSlider"}}) + "</dict>", subviews),
         "'File's Owner' (LayoutOwner): no outlet 'theMouseSlidr'"},
        {"outlet to nothing",
         layout("<key>FilesOwner</key><dict>" + outlets({{"theSlider", "nothing"}}) + "</dict>", subviews),
         "outlet 'theSlider' names no object 'nothing'"},
        {"outlet of the wrong type",
         layout("<key>FilesOwner</key><dict>" + outlets({{"theSlider", "theLabel"}}) + "</dict>", subviews),
         "outlet 'theSlider' takes an NSSlider, not 'theLabel' (NSTextField)"},
        {"owner of another class",
         layout("<key>FilesOwner</key><dict><key>Class</key><string>NSPreferencePane</string></dict>", subviews),
         "the owner is a LayoutOwner, not a NSPreferencePane"},
        {"unknown selector", layout(ownerOutlets(), subviews + view("s2", "NSSlider", action("File's Owner", "sliderMovd:"))),
         "target 'File's Owner' (LayoutOwner) has no action 'sliderMovd:'"},
        {"a selector that is no action", layout("", view("s2", "NSSlider", action("File's Owner", "release"))),
         "has no action 'release'"},
        {"unknown target", layout("", view("s2", "NSSlider", action("nobody", "update:"))),
         "action target 'nobody' names no object"},
        {"view outlet of the wrong type", layout("", view("t", "NSTextField") + view("g", "GaugeView", outlets({{"theSource", "t"}}))),
         "'g' (GaugeView): outlet 'theSource' takes an NSSlider"},
    };
    for (const Case &c : cases) {
        long before = NSTestingLiveObjectCount();
        Result<NSInterface *> loaded = load(c.content);
        ASSERT_FALSE(loaded) << c.what;
        const std::string &error = loaded.message();
        EXPECT_NE(error.find(c.message), std::string::npos) << c.what << ": " << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << c.what;
        EXPECT_EQ(error.rfind(dir.path() + "/Test.layout", 0), 0u) << c.what << ": " << error;
        // Checked before anything is connected: no outlet points at a freed object.
        EXPECT_EQ(owner->theSlider, nullptr) << c.what;
        EXPECT_EQ(owner->theLabel, nullptr) << c.what;
        drainPool();
        EXPECT_EQ(NSTestingLiveObjectCount(), before) << c.what;
    }
}

TEST_F(InterfaceTest, MissingFilesAndOwnerlessOutletsAreErrors) {
    auto loadFile = [](const std::string &path, NSObject *fileOwner) {
        return NSInterface::interfaceWithContentsOfFile_owner(NSString::stringWithUTF8String(path.c_str()), fileOwner);
    };
    Result<NSInterface *> missing = loadFile("/nonexistent/x.layout", owner);
    ASSERT_FALSE(missing);
    EXPECT_NE(missing.message().find("cannot read /nonexistent/x.layout"), std::string::npos) << missing.message();

    std::string path = dir.path() + "/Ownerless.layout";
    write_file(path, layout(ownerOutlets(), standardSubviews()));
    Result<NSInterface *> ownerless = loadFile(path, nil);
    ASSERT_FALSE(ownerless);
    EXPECT_NE(ownerless.message().find("none was given"), std::string::npos) << ownerless.message();

    std::string deep = view("leaf", "NSView");
    for (int level = 0; level < 40; ++level)
        deep = view("v" + std::to_string(level), "NSView", "<key>Subviews</key><array>" + deep + "</array>");
    write_file(path, plistDocument("<dict><key>Version</key><integer>1</integer><key>MainView</key>" + deep + "</dict>"));
    Result<NSInterface *> tooDeep = loadFile(path, nil);
    ASSERT_FALSE(tooDeep);
    EXPECT_NE(tooDeep.message().find("nested deeper than"), std::string::npos) << tooDeep.message();
}
