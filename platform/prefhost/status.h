// The result of a host step: success, or one line saying what failed.
#pragma once

#include <string>
#include <utility>

class [[nodiscard]] Status {
public:
    static Status success() { return Status(true, {}); }
    static Status failure(std::string message) { return Status(false, std::move(message)); }

    bool ok() const { return ok_; }
    const std::string &message() const { return message_; }

private:
    Status(bool ok, std::string message) : ok_(ok), message_(std::move(message)) {}
    bool ok_;
    std::string message_;
};
