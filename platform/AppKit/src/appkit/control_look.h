// The standard controls' look: a neutral light theme, shared by their
// drawRect: methods. Shapes go through NSBezierPath like any view's
// drawing; text goes through cairo's own text calls.
#pragma once

#include <AppKit/NSBezierPath.h>
#include <AppKit/NSControl.h>
#include <AppKit/NSGraphicsContext.h>

#include <string>
#include <vector>

namespace control_look {

inline constexpr NSColorComponents kText{0.13, 0.13, 0.13, 1};
inline constexpr NSColorComponents kBorder{0.62, 0.62, 0.62, 1};
inline constexpr NSColorComponents kFieldBackground{1, 1, 1, 1};
inline constexpr NSColorComponents kButtonBackground{0.98, 0.98, 0.98, 1};
inline constexpr NSColorComponents kButtonPressed{0.84, 0.84, 0.84, 1};
inline constexpr NSColorComponents kTrack{0.82, 0.82, 0.82, 1};
inline constexpr NSColorComponents kAccent{0.33, 0.33, 0.33, 1};
inline constexpr NSColorComponents kMark{1, 1, 1, 1};
inline constexpr double kFontSize = 13;
// How much of a disabled control shows.
inline constexpr double kDisabledOpacity = 0.45;

// In the current context's user space; do nothing without a current context.
void fill(NSBezierPath *path, const NSColorComponents &color);
// With its own butt caps, so the class-wide default cap style leaves the
// controls' look alone.
void stroke(NSBezierPath *path, const NSColorComponents &color, CGFloat width,
            NSLineCapStyle cap = NSLineCapStyleButt);

// One line of text whose baseline starts at the point (y up).
void drawText(const std::string &text, NSPoint baseline, const NSColorComponents &color);
double textWidth(const std::string &text);
// The baseline that centres a line of text vertically in the rectangle.
double centredBaseline(NSRect rect);
// The text broken at spaces (and at its own line breaks) into lines no
// wider than the width where it can be; a word too long keeps a line of its own.
std::vector<std::string> wrappedLines(const std::string &text, double width);
// The text wrapped to the rectangle's width, its lines centred vertically
// as a block and left-aligned; lines beyond the rectangle are clipped by
// the view's bounds.
void drawTextBlock(const std::string &text, NSRect rect, const NSColorComponents &color);

// Draws a disabled control faded: what is drawn while it lives is composed
// at kDisabledOpacity when it goes.
class FadedUnlessEnabled {
public:
    explicit FadedUnlessEnabled(const NSControl *control);
    ~FadedUnlessEnabled();
    FadedUnlessEnabled(const FadedUnlessEnabled &) = delete;
    FadedUnlessEnabled &operator=(const FadedUnlessEnabled &) = delete;

private:
    cairo_t *cr_ = nullptr;
};

}  // namespace control_look
