// View images and PNG files.
#include <AppKit/AppKitRendering.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>

namespace {

// cairo's image surfaces go no larger.
constexpr double kLargestSide = 32767;

struct PngFile {
    FILE *file;
    int error;  // the first errno of a failed write, or 0
};

cairo_status_t writeToFile(void *closure, const unsigned char *data, unsigned int length) {
    PngFile *png = static_cast<PngFile *>(closure);
    if (std::fwrite(data, 1, length, png->file) == length) return CAIRO_STATUS_SUCCESS;
    if (!png->error) png->error = errno;
    return CAIRO_STATUS_WRITE_ERROR;
}

bool exists(const std::string &path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0;
}

std::string sizeText(NSSize size) {
    char text[64];
    std::snprintf(text, sizeof text, "%g x %g", size.width, size.height);
    return text;
}

}  // namespace

Result<cairo_surface_t *> NSRenderCreateViewImage(NSView *view, NSColor *background) {
    NSSize size = view ? view->frame().size : NSZeroSize;
    double width = std::ceil(size.width), height = std::ceil(size.height);
    if (!(width >= 1 && height >= 1)) return Failure("the view is empty (" + sizeText(size) + ")");
    if (width > kLargestSide || height > kLargestSide)
        return Failure("the view is too large for an image (" + sizeText(size) + ")");
    cairo_surface_t *image =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(width), static_cast<int>(height));
    if (cairo_status_t status = cairo_surface_status(image); status != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(image);
        return Failure(std::string("cannot make an image: ") + cairo_status_to_string(status));
    }
    cairo_t *cr = cairo_create(image);
    if (background) {
        const NSColorComponents &color = background->components();
        cairo_set_source_rgba(cr, color.red, color.green, color.blue, color.alpha);
        cairo_paint(cr);
    }
    NSRenderViewTree(view, cr);
    cairo_destroy(cr);
    cairo_surface_flush(image);
    return image;
}

Status NSRenderWritePNG(cairo_surface_t *image, const std::string &path) {
    bool existed = exists(path);
    PngFile png{std::fopen(path.c_str(), "wb"), 0};
    if (!png.file) return Failure("cannot write " + path + ": " + std::strerror(errno));
    cairo_status_t status = cairo_surface_write_to_png_stream(image, writeToFile, &png);
    if (std::fclose(png.file) != 0 && !png.error) png.error = errno;
    if (status == CAIRO_STATUS_SUCCESS && !png.error) return Status::success();
    // A half-written file of ours would pass for a picture; what was there
    // before (a device, say) is not ours to remove.
    if (!existed) std::remove(path.c_str());
    std::string reason = png.error ? std::strerror(png.error) : cairo_status_to_string(status);
    return Failure("cannot write " + path + ": " + reason);
}

Status NSRenderViewToPNG(NSView *view, NSColor *background, const std::string &path) {
    Result<cairo_surface_t *> image = NSRenderCreateViewImage(view, background);
    if (!image) return image.failure();
    Status written = NSRenderWritePNG(*image, path);
    cairo_surface_destroy(*image);
    return written;
}
