#include "inputtest_feeder.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

namespace glissor_test {

namespace {

// The inputtest driver's wire format (protocol 1.1): native byte order,
// every message led by its length and type.
constexpr std::uint32_t kClientVersion = 0;
constexpr std::uint32_t kWaitForSync = 1;
constexpr std::uint32_t kMotion = 2;
constexpr int kValuators = 64;

struct Header {
    std::uint32_t length;
    std::uint32_t type;
};
struct VersionMessage {
    Header header;
    std::uint16_t major;
    std::uint16_t minor;
};
struct ValuatorData {
    std::uint32_t has_unaccelerated;
    std::uint8_t mask[(kValuators + 7) / 8];
    double valuators[kValuators];
    double unaccelerated[kValuators];
};
struct MotionMessage {
    Header header;
    std::uint32_t is_absolute;
    ValuatorData data;
};
static_assert(sizeof(MotionMessage) == 1056);

bool send_all(int fd, const void *data, std::size_t size) {
    auto *bytes = static_cast<const char *>(data);
    while (size > 0) {
        ssize_t sent = send(fd, bytes, size, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        bytes += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

// A reply of `size` bytes, within five seconds.
bool receive_reply(int fd, std::size_t size) {
    pollfd entry{fd, POLLIN, 0};
    if (poll(&entry, 1, 5000) <= 0) return false;
    char buffer[64];
    return size <= sizeof buffer && recv(fd, buffer, size, MSG_WAITALL) == static_cast<ssize_t>(size);
}

}  // namespace

InputFeeder::~InputFeeder() { close_socket(); }

void InputFeeder::close_socket() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

bool InputFeeder::connect(const std::string &socket_path) {
    close_socket();
    fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (fd_ < 0 || socket_path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, socket_path.c_str(), socket_path.size() + 1);
    if (::connect(fd_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) return false;
    VersionMessage version{{sizeof(VersionMessage), kClientVersion}, 1, 1};
    return send_all(fd_, &version, sizeof version) && receive_reply(fd_, sizeof(VersionMessage));
}

bool InputFeeder::move(double dx, double dy) {
    MotionMessage motion{};
    motion.header = {sizeof motion, kMotion};
    motion.data.mask[0] = 0x3;  // valuators 0 and 1: x and y
    motion.data.valuators[0] = dx;
    motion.data.valuators[1] = dy;
    return send_all(fd_, &motion, sizeof motion);
}

bool InputFeeder::sync() {
    Header wait{sizeof(Header), kWaitForSync};
    return send_all(fd_, &wait, sizeof wait) && receive_reply(fd_, sizeof(Header));
}

}  // namespace glissor_test
