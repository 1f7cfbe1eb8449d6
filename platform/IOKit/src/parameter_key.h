// The text of a parameter key, taken from a CFString without allocating.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <array>
#include <optional>
#include <string_view>

#include <hidsystem/protocol.h>

namespace iokit {

// Holds the key's bytes when the string cannot lend them directly.
using KeyBuffer = std::array<char, hidsystem::kMaxKeyLength + 1>;

// The key's UTF-8 text, when it is a key the protocol can carry. The view
// borrows from the string or from buffer.
std::optional<std::string_view> parameter_key(CFStringRef key, KeyBuffer &buffer);

}  // namespace iokit
