// Shared pieces of the drawing tests: an image to draw on, read back pixel
// by pixel from its top-left corner as cairo stores it.
#pragma once

#include <AppKit/AppKit.h>
#include <AppKit/AppKitTesting.h>

#include <cairo.h>

#include <cstdint>

inline uint32_t alphaOf(uint32_t argb) { return argb >> 24; }
inline uint32_t redOf(uint32_t argb) { return (argb >> 16) & 0xff; }
inline uint32_t greenOf(uint32_t argb) { return (argb >> 8) & 0xff; }
inline uint32_t blueOf(uint32_t argb) { return argb & 0xff; }

// Owns an image surface (adopted, or made transparent at the size).
class TestImage {
public:
    TestImage(int width, int height) : surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)) {}
    explicit TestImage(cairo_surface_t *adopted) : surface_(adopted) {}
    ~TestImage() {
        if (surface_) cairo_surface_destroy(surface_);
    }
    TestImage(const TestImage &) = delete;
    TestImage &operator=(const TestImage &) = delete;

    cairo_surface_t *surface() const { return surface_; }
    int width() const { return cairo_image_surface_get_width(surface_); }
    int height() const { return cairo_image_surface_get_height(surface_); }
    // Premultiplied ARGB; (0, 0) is the top-left pixel.
    uint32_t at(int x, int y) const {
        cairo_surface_flush(surface_);
        const unsigned char *row = cairo_image_surface_get_data(surface_) + y * cairo_image_surface_get_stride(surface_);
        return reinterpret_cast<const uint32_t *>(row)[x];
    }
    // Pixels of [left, right) x [top, bottom) for which the test holds.
    template <typename Test>
    int count(int left, int top, int right, int bottom, Test test) const {
        int n = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) n += test(at(x, y)) ? 1 : 0;
        return n;
    }
    template <typename Test>
    int count(Test test) const {
        return count(0, 0, width(), height(), test);
    }
    bool samePixelsAs(const TestImage &other) const {
        if (width() != other.width() || height() != other.height()) return false;
        for (int y = 0; y < height(); ++y)
            for (int x = 0; x < width(); ++x)
                if (at(x, y) != other.at(x, y)) return false;
        return true;
    }

private:
    cairo_surface_t *surface_;
};

// A graphics context over a fresh image, current while it lives.
class CurrentImageContext {
public:
    CurrentImageContext(int width, int height) : image(width, height), cr(cairo_create(image.surface())) {
        context = NSGraphicsContext::alloc()->initWithCairoContext(cr);
        NSGraphicsContext::setCurrentContext(context);
    }
    ~CurrentImageContext() {
        NSGraphicsContext::setCurrentContext(nil);
        context->release();
        cairo_destroy(cr);
    }
    CurrentImageContext(const CurrentImageContext &) = delete;
    CurrentImageContext &operator=(const CurrentImageContext &) = delete;

    TestImage image;
    cairo_t *cr;
    NSGraphicsContext *context;
};
