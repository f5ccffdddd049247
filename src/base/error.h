#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <utility>
#include <variant>

namespace posflash {

// Where an error arose. A code means something only within its domain: the serial control's
// 8002 and an errno value 2 are different things, and two modules may both use 3.
enum class ErrorDomain : std::uint8_t {
    Unknown,
    System,   // an errno value
    Serial,   // the serial control's error numbers (comm_errors.h)
    Ports,    // the COM number map and the device nodes (com_port_map.h)
    Network,  // the network link's own codes (network_boot.h)
    Socket,   // a Qt socket's error (QAbstractSocket::SocketError)
    Image,    // reading an image file (image_file.h)
    Settings, // the settings files (ini_store.h)
    History,  // the local history (history_store.h, history_journal.h)
    Records,  // the line's records server (src/records)
    Input,    // what a front end was given: arguments, address texts
    Recipe,   // a line recipe, its signature and the keys that sign it (src/recipe)
    Inboot,   // the boot-loader command to a running printer (boot_command.h)
};

// The domain's name in logs and JSON ("serial", "network").
const char* DomainName(ErrorDomain domain);

// What went wrong, as the layers below the window report it: the domain and a number it
// defines (a serial error number, an errno value, one of a module's own codes), the text a
// user may be shown, and the system's or Qt's own message where there is one. Each source
// maps its system and Qt errors into this in one place; the layers above add context
// (WithContext) or decide what, if anything, a front end shows.
struct Error {
    int code = 0;
    QString text;
    QString detail{}; // the system's own words ("Permission denied"), empty when there are none
    ErrorDomain domain = ErrorDomain::Unknown;

    bool is(ErrorDomain d, int c) const { return domain == d && code == c; }
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

// The error with what the caller was doing in front of its text ("could not open COM3: …"),
// as it travels up; code, domain and the system's words stay as they arose.
Error WithContext(Error error, const QString& context);

template <typename T>
Result<T> WithContext(Result<T> result, const QString& context) {
    if (result)
        return result;
    return WithContext(result.error(), context);
}

} // namespace posflash
