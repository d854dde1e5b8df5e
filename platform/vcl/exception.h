// The form layer's standard exception classes: a message text, as the application shows it.
#pragma once

#include <exception>
#include <string>

namespace vcl {

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : Message(std::move(message)) {}
    const char* what() const noexcept override { return Message.c_str(); }

    std::string Message;
};

// A text that is not a number, a date or whatever the conversion expected.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

} // namespace vcl
