// One pointer of the Xorg inputtest driver, fed over its control socket:
// relative motion as a mouse reports it, which goes through the server's
// acceleration as XTEST motion never does.
#pragma once

#include <string>

namespace glissor_test {

class InputFeeder {
public:
    InputFeeder() = default;
    ~InputFeeder();
    InputFeeder(const InputFeeder &) = delete;
    InputFeeder &operator=(const InputFeeder &) = delete;

    // Connects and exchanges protocol versions; false when it cannot.
    bool connect(const std::string &socket_path);
    bool move(double dx, double dy);
    // Waits until the server has processed everything sent.
    bool sync();
    void close_socket();

private:
    int fd_ = -1;
};

}  // namespace glissor_test
