// A one-line failure reason in a fixed buffer, so the client library can
// report failures without allocating.
#pragma once

#include <array>

namespace hidsystem {

class ErrorText {
public:
    void set(const char *format, ...) __attribute__((format(printf, 2, 3)));
    const char *c_str() const { return text_.data(); }

private:
    std::array<char, 320> text_{};
};

}  // namespace hidsystem
