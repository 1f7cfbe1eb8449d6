#include "appkit/control_look.h"

#include <algorithm>

#include "appkit/user_space_drawing.h"

namespace control_look {

namespace {

// A y-up user space turned for cairo's text, which runs y-down.
void selectFont(cairo_t *cr) {
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, kFontSize);
}

}  // namespace

void fill(NSBezierPath *path, const NSColorComponents &color) {
    NSGraphicsContext *context = NSGraphicsContext::currentContext();
    if (!context) return;
    context->setFillColor(color);
    path->fill();
}

void stroke(NSBezierPath *path, const NSColorComponents &color, CGFloat width, NSLineCapStyle cap) {
    NSGraphicsContext *context = NSGraphicsContext::currentContext();
    if (!context) return;
    context->setStrokeColor(color);
    path->setLineWidth(width);
    path->setLineCapStyle(cap);
    path->stroke();
}

void drawText(const std::string &text, NSPoint baseline, const NSColorComponents &color) {
    UserSpaceDrawing drawing(NSGraphicsContext::currentContext());
    if (!drawing.ok() || text.empty()) return;
    cairo_t *cr = drawing.cr();
    cairo_translate(cr, baseline.x, baseline.y);
    cairo_scale(cr, 1, -1);
    selectFont(cr);
    ns_cairo_set_color(cr, color);
    cairo_move_to(cr, 0, 0);
    cairo_show_text(cr, text.c_str());
}

double textWidth(const std::string &text) {
    UserSpaceDrawing drawing(NSGraphicsContext::currentContext());
    if (!drawing.ok()) return 0;
    selectFont(drawing.cr());
    cairo_text_extents_t extents;
    cairo_text_extents(drawing.cr(), text.c_str(), &extents);
    return extents.x_advance;
}

double centredBaseline(NSRect rect) {
    UserSpaceDrawing drawing(NSGraphicsContext::currentContext());
    if (!drawing.ok()) return NSMidY(rect);
    selectFont(drawing.cr());
    cairo_font_extents_t extents;
    cairo_font_extents(drawing.cr(), &extents);
    return NSMidY(rect) - (extents.ascent - extents.descent) / 2;
}

std::vector<std::string> wrappedLines(const std::string &text, double width) {
    std::vector<std::string> lines;
    size_t paragraphStart = 0;
    while (paragraphStart <= text.size()) {
        size_t paragraphEnd = std::min(text.find('\n', paragraphStart), text.size());
        std::string line;
        size_t wordStart = paragraphStart;
        while (wordStart < paragraphEnd) {
            size_t wordEnd = std::min(text.find(' ', wordStart), paragraphEnd);
            std::string word = text.substr(wordStart, wordEnd - wordStart);
            std::string longer = line.empty() ? word : line + " " + word;
            if (!line.empty() && textWidth(longer) > width) {
                lines.push_back(line);
                line = word;
            } else {
                line = longer;
            }
            wordStart = wordEnd + 1;
        }
        lines.push_back(line);
        paragraphStart = paragraphEnd + 1;
    }
    return lines;
}

void drawTextBlock(const std::string &text, NSRect rect, const NSColorComponents &color) {
    std::vector<std::string> lines = wrappedLines(text, NSWidth(rect));
    double lineHeight = 0;
    {
        UserSpaceDrawing drawing(NSGraphicsContext::currentContext());
        if (!drawing.ok()) return;
        selectFont(drawing.cr());
        cairo_font_extents_t extents;
        cairo_font_extents(drawing.cr(), &extents);
        lineHeight = extents.height;
    }
    // The first baseline where a one-line block would sit, raised by half
    // of the lines below it.
    double baseline = centredBaseline(rect) + lineHeight * static_cast<double>(lines.size() - 1) / 2;
    for (const std::string &line : lines) {
        drawText(line, NSMakePoint(NSMinX(rect), baseline), color);
        baseline -= lineHeight;
    }
}

FadedUnlessEnabled::FadedUnlessEnabled(const NSControl *control) {
    NSGraphicsContext *context = NSGraphicsContext::currentContext();
    if (control->isEnabled() || !context) return;
    cr_ = context->cairoContext();
    cairo_push_group(cr_);
}

FadedUnlessEnabled::~FadedUnlessEnabled() {
    if (!cr_) return;
    cairo_pop_group_to_source(cr_);
    cairo_paint_with_alpha(cr_, kDisabledOpacity);
}

}  // namespace control_look
