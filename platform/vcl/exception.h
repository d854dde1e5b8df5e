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

// A picture that cannot be read.
class EInvalidGraphic : public Exception {
public:
    using Exception::Exception;
};

// An index outside a list, a duplicate refused by a sorted list, and like misuse of a list.
class EListError : public Exception {
public:
    using Exception::Exception;
};
class EStringListError : public EListError {
public:
    using EListError::EListError;
};

// A file that cannot be opened for reading or made for writing.
class EFOpenError : public Exception {
public:
    using Exception::Exception;
};
class EFCreateError : public Exception {
public:
    using Exception::Exception;
};

// A settings file that cannot be written, or a name or value it cannot hold.
class EIniFileException : public Exception {
public:
    using Exception::Exception;
};

// A form shown in a way its state does not allow (ShowModal of a visible form...).
class EInvalidOperation : public Exception {
public:
    using Exception::Exception;
};

} // namespace vcl
