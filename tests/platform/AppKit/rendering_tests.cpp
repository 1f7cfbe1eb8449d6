// Rendering view trees: unflipped coordinates on cairo's y-down surfaces,
// frames, clipping, the standard controls' look, and PNG files.
#include <AppKit/AppKitRendering.h>
#include <gtest/gtest.h>

#include <fstream>

#include "appkit_test_support.h"
#include "drawing_test_support.h"

namespace {

// Fills a 10 x 10 square at its origin in its colour, then a bigger one
// when asked to overflow its bounds; counts its drawRect: calls.
class SquareView : public NSView {
    NS_CLASS(SquareView, NSView)

public:
    NSColorComponents color{0, 0, 1, 1};
    bool overflow = false;
    int draws = 0;
    void drawRect(NSRect) override {
        ++draws;
        NSGraphicsContext::currentContext()->setFillColor(color);
        NSRect square = overflow ? NSMakeRect(-20, -20, 60, 60) : NSMakeRect(0, 0, 10, 10);
        NSBezierPath::bezierPathWithRect(square)->fill();
    }
};

class FlippedSquareView : public SquareView {
    NS_CLASS(FlippedSquareView, SquareView)

public:
    BOOL isFlipped() const override { return YES; }
};

}  // namespace

NS_REGISTER_CLASS(SquareView, NSView)
NS_REGISTER_CLASS(FlippedSquareView, SquareView)

namespace {

constexpr uint32_t kBlue = 0xff0000ff;
constexpr uint32_t kRed = 0xffff0000;

class RenderingTest : public AppKitTest {
protected:
    template <typename View>
    static View *make(NSRect frame, NSColorComponents color = {0, 0, 1, 1}) {
        View *view = static_cast<View *>(View::alloc()->initWithFrame(frame)->autorelease());
        view->color = color;
        return view;
    }
    static std::unique_ptr<TestImage> render(NSView *view, NSColor *background = nil) {
        Result<cairo_surface_t *> image = NSRenderCreateViewImage(view, background);
        EXPECT_TRUE(image) << image.message();
        return std::make_unique<TestImage>(image ? *image : nullptr);
    }
    // Is the whole square [left, left + 10) x [top, top + 10) of the colour?
    static bool squareAt(const TestImage &image, int left, int top, uint32_t color) {
        return image.count(left, top, left + 10, top + 10, [&](uint32_t p) { return p == color; }) == 100;
    }
    static int painted(const TestImage &image) {
        return image.count([](uint32_t p) { return alphaOf(p) != 0; });
    }
};

// Where the knob is: the mean x (or y from the bottom) of the pure white pixels.
double knobCentre(const TestImage &image, bool vertical) {
    double sum = 0;
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.at(x, y) == 0xffffffffu) {
                sum += vertical ? image.height() - y : x;
                ++n;
            }
    return n ? sum / n : -1;
}

bool isDark(uint32_t p) { return alphaOf(p) > 200 && redOf(p) < 100; }
bool isWhite(uint32_t p) { return p == 0xffffffffu; }
bool isLight(uint32_t p) { return alphaOf(p) > 200 && redOf(p) > 200; }

}  // namespace

TEST_F(RenderingTest, ViewsDrawUnflippedOnTheirFramesClippedToTheirBounds) {
    SquareView *root = make<SquareView>(NSMakeRect(300, 300, 100, 80));
    SquareView *child = make<SquareView>(NSMakeRect(30, 20, 40, 40), {1, 0, 0, 1});
    SquareView *grandchild = make<SquareView>(NSMakeRect(10, 10, 20, 20));
    FlippedSquareView *flipped = make<FlippedSquareView>(NSMakeRect(75, 40, 20, 20));
    SquareView *flippedChild = make<SquareView>(NSMakeRect(0, 0, 10, 10), {1, 0, 0, 1});
    SquareView *overflowing = make<SquareView>(NSMakeRect(80, 0, 10, 10), {1, 0, 0, 1});
    SquareView *empty = make<SquareView>(NSMakeRect(0, 0, 0, 30));
    overflowing->overflow = true;
    root->addSubview(child);
    child->addSubview(grandchild);
    root->addSubview(flipped);
    flipped->addSubview(flippedChild);
    root->addSubview(overflowing);
    root->addSubview(empty);
    root->setIdentifier(NSSTR("root"));
    child->setIdentifier(NSSTR("child"));

    NSTestingPaintRecorder recorder;
    auto image = render(root);
    ASSERT_EQ(image->width(), 100);
    ASSERT_EQ(image->height(), 80);
    // The root's own origin plays no part; y runs up from the bottom row.
    EXPECT_TRUE(squareAt(*image, 0, 70, kBlue));
    EXPECT_TRUE(squareAt(*image, 30, 50, kRed));
    // Drawn after its superview, on top of it.
    EXPECT_TRUE(squareAt(*image, 40, 40, kBlue));
    // A flipped view's origin is its top-left corner; an unflipped child of
    // it sits at the bottom-left of its own frame, which is that corner.
    EXPECT_TRUE(squareAt(*image, 75, 20, kRed));
    // The overflowing square stops at its view's bounds.
    EXPECT_TRUE(squareAt(*image, 80, 70, kRed));
    EXPECT_EQ(image->at(79, 75), 0u);
    EXPECT_EQ(image->at(90, 75), 0u);
    EXPECT_EQ(image->at(85, 69), 0u);
    EXPECT_EQ(painted(*image), 500);

    EXPECT_EQ(empty->draws, 0);
    EXPECT_EQ(root->draws, 1);
    EXPECT_FALSE(root->needsDisplay());
    EXPECT_FALSE(grandchild->needsDisplay());
    ASSERT_EQ(recorder.paints().size(), 6u);
    EXPECT_EQ(recorder.paints()[0].viewName, "root");
    EXPECT_EQ(recorder.paints()[1].viewName, "child");
    // View space is each view's own coordinates.
    EXPECT_EQ(recorder.paints()[1].viewElements[2].points[0].x, 10);
    EXPECT_EQ(recorder.paints()[1].viewElements[2].points[0].y, 10);
    EXPECT_EQ(NSGraphicsContext::currentContext(), nil);
}

TEST_F(RenderingTest, TheTreeLandsWhereTheHostsUserSpacePutsIt) {
    SquareView *root = make<SquareView>(NSMakeRect(0, 0, 20, 20));
    TestImage image(40, 40);
    cairo_t *cr = cairo_create(image.surface());
    cairo_translate(cr, 10, 5);
    NSRenderViewTree(root, cr);
    EXPECT_EQ(cairo_status(cr), CAIRO_STATUS_SUCCESS);
    cairo_destroy(cr);
    EXPECT_TRUE(squareAt(image, 10, 15, kBlue));
    EXPECT_EQ(painted(image), 100);
    NSRenderViewTree(nil, nullptr);
}

TEST_F(RenderingTest, SlidersShowTheirKnobAtTheirValue) {
    NSSlider *slider = NSSlider::alloc()->initWithFrame(NSMakeRect(0, 0, 200, 24))->autorelease();
    slider->setMaxValue(4);
    auto atMin = render(slider);
    slider->setDoubleValue(4);
    auto atMax = render(slider);
    slider->setDoubleValue(1);
    auto quarter = render(slider);
    EXPECT_NEAR(knobCentre(*atMin, false), 8, 1.5);
    EXPECT_NEAR(knobCentre(*atMax, false), 192, 1.5);
    EXPECT_NEAR(knobCentre(*quarter, false), 8 + 184 / 4.0, 1.5);
    // The track is filled up to the knob, not past it.
    EXPECT_EQ(atMin->count(20, 10, 190, 14, isDark), 0);
    EXPECT_GT(quarter->count(20, 10, 40, 14, isDark), 40);
    EXPECT_EQ(quarter->count(70, 10, 190, 14, isDark), 0);

    NSSlider *upright = NSSlider::alloc()->initWithFrame(NSMakeRect(0, 0, 24, 120))->autorelease();
    upright->setDoubleValue(1);
    EXPECT_NEAR(knobCentre(*render(upright), true), 112, 1.5);

    // Disabled, the same slider shows faded: nothing fully opaque.
    upright->setEnabled(NO);
    EXPECT_EQ(render(upright)->count([](uint32_t p) { return alphaOf(p) > 128; }), 0);
}

TEST_F(RenderingTest, TextFieldsShowTheirText) {
    NSTextField *field = NSTextField::alloc()->initWithFrame(NSMakeRect(0, 0, 80, 22))->autorelease();
    auto empty = render(field);
    EXPECT_EQ(empty->count(isDark), 0);
    EXPECT_TRUE(isWhite(empty->at(40, 11))) << "an editable field is a white box";
    EXPECT_NE(empty->at(0, 11), 0u) << "with a border";

    field->setStringValue(NSSTR("1.5x"));
    auto text = render(field);
    int dark = text->count(isDark);
    EXPECT_GT(dark, 15);
    EXPECT_EQ(text->count(40, 0, 80, 22, isDark), 0) << "short text stays at the left";

    field->setEditable(NO);
    auto label = render(field);
    EXPECT_EQ(label->at(60, 11), 0u) << "a label has no background";
    EXPECT_GT(label->count(isDark), 15);

    // A label laid out for two lines wraps its text at a space; a short
    // text in the same frame stays on one line in the middle.
    field->setFrameSize(NSMakeSize(120, 34));
    field->setStringValue(NSSTR("Changes take effect at once always"));
    auto wrapped = render(field);
    EXPECT_GT(wrapped->count(0, 0, 120, 9, isDark), 20) << "the first line";
    EXPECT_GT(wrapped->count(0, 25, 120, 34, isDark), 20) << "the second line";
    field->setStringValue(NSSTR("Once"));
    auto single = render(field);
    EXPECT_GT(single->count(0, 11, 120, 23, isDark), 10);
    EXPECT_EQ(single->count(0, 0, 120, 9, isDark) + single->count(0, 25, 120, 34, isDark), 0);
}

TEST_F(RenderingTest, ButtonsShowTheirStateAndTitle) {
    NSButton *box = NSButton::alloc()->initWithFrame(NSMakeRect(0, 0, 120, 20))->autorelease();
    box->setButtonType(NSButtonTypeSwitch);
    box->setAllowsMixedState(YES);
    box->setTitle(NSSTR("Start at login"));
    // The box: 13 x 13 from (1.5, 3.5) in the view, rows 3.5 to 16.5 from the top.
    auto interior = [](const TestImage &image, bool (*test)(uint32_t)) { return image.count(3, 4, 13, 14, test); };

    auto off = render(box);
    EXPECT_GT(interior(*off, isWhite), 90);
    EXPECT_GT(off->count(20, 0, 120, 20, isDark), 30) << "the title";
    box->setState(NSControlStateValueOn);
    auto on = render(box);
    box->setState(NSControlStateValueMixed);
    auto mixed = render(box);
    EXPECT_GT(interior(*on, isDark), 50);
    EXPECT_GT(interior(*on, isLight), 5) << "the check mark";
    EXPECT_GT(interior(*mixed, isDark), 50);
    // The dash is level: white across the middle row, dark above and below.
    EXPECT_TRUE(isLight(mixed->at(6, 9)) && isLight(mixed->at(10, 10)));
    EXPECT_TRUE(isDark(mixed->at(8, 5)) && isDark(mixed->at(8, 12)));
    EXPECT_FALSE(on->samePixelsAs(*mixed));

    // The class-wide default cap style does not change how controls look.
    NSBezierPath::setDefaultLineCapStyle(NSLineCapStyleSquare);
    auto mixedSquare = render(box);
    NSBezierPath::setDefaultLineCapStyle(NSLineCapStyleButt);
    EXPECT_TRUE(mixed->samePixelsAs(*mixedSquare));

    NSButton *push = NSButton::alloc()->initWithFrame(NSMakeRect(0, 0, 100, 24))->autorelease();
    auto button = render(push);
    EXPECT_GT(button->count(20, 0, 50, 24, isDark), 5) << "\"Button\", centred";
    EXPECT_GT(button->count(50, 0, 80, 24, isDark), 5);
    EXPECT_EQ(button->count(0, 0, 15, 24, isDark), 0);
}

TEST_F(RenderingTest, ImagesGoToPngFilesAtTheViewsSize) {
    glissor_test::TempDir dir;
    SquareView *view = make<SquareView>(NSMakeRect(0, 0, 10.5, 7.2));
    auto image = render(view, NSColor::whiteColor());
    ASSERT_EQ(image->width(), 11);
    ASSERT_EQ(image->height(), 8);
    EXPECT_EQ(image->at(10, 0), 0xffffffffu) << "the background";

    std::string path = dir.path() + "/view.png";
    Status written = NSRenderViewToPNG(view, NSColor::whiteColor(), path);
    ASSERT_TRUE(written) << written.message();
    TestImage read(cairo_image_surface_create_from_png(path.c_str()));
    ASSERT_EQ(cairo_surface_status(read.surface()), CAIRO_STATUS_SUCCESS);
    EXPECT_TRUE(read.samePixelsAs(*image));

    struct Case {
        NSRect frame;
        std::string file;
        std::string message;
    };
    const Case cases[] = {
        {NSMakeRect(0, 0, 0, 5), path, "the view is empty (0 x 5)"},
        {NSMakeRect(0, 0, 40000, 5), path, "the view is too large for an image (40000 x 5)"},
        {NSMakeRect(0, 0, 5, 5), dir.path() + "/missing/view.png",
         "cannot write " + dir.path() + "/missing/view.png: No such file or directory"},
        {NSMakeRect(0, 0, 5, 5), "/dev/full", "cannot write /dev/full: No space left on device"},
    };
    for (const Case &c : cases) {
        view->setFrame(c.frame);
        Status failed = NSRenderViewToPNG(view, nil, c.file);
        EXPECT_FALSE(failed) << c.message;
        EXPECT_EQ(failed.message(), c.message);
    }
    EXPECT_TRUE(glissor_test::file_exists("/dev/full")) << "what was there is not removed";
}
