// IOHIDSetMouseAcceleration, IOHIDSetParameter and IOHIDGetParameter: each
// one round trip to the service, with stack buffers only.
#include <IOKit/hidsystem/IOHIDLib.h>

#include <algorithm>
#include <cstring>

#include "connection_table.h"
#include "export.h"
#include "parameter_key.h"

IOKIT_EXPORT kern_return_t IOHIDSetMouseAcceleration(io_connect_t handle, double acceleration) {
    hidsystem::Line request, reply_line;
    hidsystem::Reply reply;
    hidsystem::encode_accel(request, acceleration);
    return iokit::call_service(handle, request, reply_line, reply);
}

IOKIT_EXPORT kern_return_t IOHIDSetParameter(io_connect_t handle, CFStringRef key, const void *parameters,
                                             IOByteCount size) {
    iokit::KeyBuffer buffer;
    auto key_text = iokit::parameter_key(key, buffer);
    if (!key_text || !parameters || size == 0 || size > hidsystem::kMaxParameterSize) return kIOReturnBadArgument;
    hidsystem::Line request, reply_line;
    hidsystem::Reply reply;
    hidsystem::encode_set(request, *key_text, {static_cast<const unsigned char *>(parameters), size});
    return iokit::call_service(handle, request, reply_line, reply);
}

IOKIT_EXPORT kern_return_t IOHIDGetParameter(io_connect_t handle, CFStringRef key, IOByteCount maxSize,
                                             void *parameters, IOByteCount *actualSize) {
    if (actualSize) *actualSize = 0;
    iokit::KeyBuffer buffer;
    auto key_text = iokit::parameter_key(key, buffer);
    if (!key_text || (!parameters && maxSize > 0)) return kIOReturnBadArgument;
    hidsystem::Line request, reply_line;
    hidsystem::Reply reply;
    hidsystem::encode_get(request, *key_text);
    IOReturn result = iokit::call_service(handle, request, reply_line, reply);
    if (result != kIOReturnSuccess) return result;
    hidsystem::ParameterBytes value;
    if (!hidsystem::parse_hex(reply.rest, value)) return kIOReturnNotResponding;
    auto copied = static_cast<IOByteCount>(std::min<std::size_t>(value.size, maxSize));
    if (copied > 0) std::memcpy(parameters, value.data.data(), copied);
    if (actualSize) *actualSize = copied;
    return kIOReturnSuccess;
}
