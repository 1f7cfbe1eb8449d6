// Scoped holders for what GLib hands over: each frees its value on every
// path. Adopt only what the caller owns (a "transfer full" result).
#pragma once

#include <gio/gio.h>

#include <memory>
#include <string>

namespace hidsystemd_backend {

struct ObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
struct VariantUnref {
    void operator()(GVariant *value) const { g_variant_unref(value); }
};

template <typename T>
using ObjectHolder = std::unique_ptr<T, ObjectUnref>;
using VariantHolder = std::unique_ptr<GVariant, VariantUnref>;

// A GError out-parameter that frees itself.
class ErrorHolder {
public:
    ~ErrorHolder() {
        if (error_) g_error_free(error_);
    }
    GError **out() { return &error_; }
    std::string message() const { return error_ ? error_->message : "unknown error"; }

private:
    GError *error_ = nullptr;
};

}  // namespace hidsystemd_backend
