#pragma once

#include <QString>

#include <optional>
#include <utility>
#include <variant>

namespace posflash {

// What went wrong, as the layers below the window report it: a number its source defines
// (a serial error number, an errno value, one of a module's own codes), the text a user may
// be shown, and the system's or Qt's own message where there is one. Each source maps its
// system and Qt errors into this in one place; the layers above add context or decide what,
// if anything, a front end shows.
struct Error {
    int code = 0;
    QString text;
    QString detail{}; // the system's own words ("Permission denied"), empty when there are none
};

// A value or the error that prevented it.
template <typename T>
class [[nodiscard]] Result {
public:
    Result(T value) : v_(std::in_place_index<0>, std::move(value)) {}
    Result(Error error) : v_(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return v_.index() == 0; }
    explicit operator bool() const { return ok(); }
    T& value() { return std::get<0>(v_); }
    const T& value() const { return std::get<0>(v_); }
    T& operator*() { return value(); }
    const T& operator*() const { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    const Error& error() const { return std::get<1>(v_); }
    // The value, or fallback for a caller that has nothing to say about the error.
    T value_or(T fallback) const { return ok() ? value() : std::move(fallback); }

private:
    std::variant<T, Error> v_;
};

// Success with nothing to return, or the error.
template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error) : error_(std::move(error)) {}

    bool ok() const { return !error_; }
    explicit operator bool() const { return ok(); }
    const Error& error() const { return *error_; }

private:
    std::optional<Error> error_;
};

using Status = Result<void>;

// An errno value with the system's text for it, after a short context ("Cannot read x").
Error SystemError(int errnoValue, const QString& context);

} // namespace posflash
