// Result: a value, or one line saying what failed. The error idiom of the
// C++ internals (the frameworks' own C calls return their failures as plain
// values, as the real platform does).
//
//     Result<Interface> load(...) {
//         if (!file) return Failure("interface.xml: no such file");
//         return interface;
//     }
//     auto loaded = load(...);
//     if (!loaded) report(loaded.message());
#pragma once

#include <string>
#include <utility>
#include <variant>

// What failed, in one line; converts to a failed Result of any type.
struct Failure {
    explicit Failure(std::string text) : message(std::move(text)) {}
    std::string message;
};

template <typename T = void>
class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Result(Failure failure) : state_(std::in_place_index<1>, std::move(failure)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    // Only on success.
    T &value() { return std::get<0>(state_); }
    const T &value() const { return std::get<0>(state_); }
    T *operator->() { return &value(); }
    const T *operator->() const { return &value(); }
    T &operator*() { return value(); }
    const T &operator*() const { return value(); }

    // Only on failure.
    const std::string &message() const { return std::get<1>(state_).message; }
    // The failure, to pass up as another Result's.
    Failure failure() const { return std::get<1>(state_); }

private:
    std::variant<T, Failure> state_;
};

// Success or failure, with nothing to carry on success.
template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Failure failure) : failed_(true), message_(std::move(failure.message)) {}
    static Result success() { return Result(); }

    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    const std::string &message() const { return message_; }
    Failure failure() const { return Failure(message_); }

private:
    bool failed_ = false;
    std::string message_;
};

using Status = Result<void>;
