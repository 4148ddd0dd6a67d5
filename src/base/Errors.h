#pragma once

#include <cstddef>
#include <exception>
#include <string>
#include <string_view>

// Every failure the program reports is one of these exceptions. Each carries the exact text
// the user sees; none is caught by the program's logic, the default handler shows it.
class EBaseError : public std::exception {
public:
    explicit EBaseError(std::string message) : FMessage(std::move(message)) {}
    const char* what() const noexcept override { return FMessage.c_str(); }
    const std::string& Message() const noexcept { return FMessage; }

protected:
    void SetMessage(std::string message) { FMessage = std::move(message); }

private:
    std::string FMessage;
};

// Text that is no number: "'%s' is not a valid floating point value" and the integer form.
class EConvertError : public EBaseError {
public:
    using EBaseError::EBaseError;
    static EConvertError InvalidFloat(std::string_view text);
    static EConvertError InvalidInteger(std::string_view text);
};

// A text value read as an integer that is no integer.
class EVariantTypeCastError : public EBaseError {
public:
    using EBaseError::EBaseError;
    static EVariantTypeCastError StringToInteger();
};

class EListError : public EBaseError {
public:
    explicit EListError(long long index);
};

// "Cannot open file %s", and after a colon the reason when one helps (a missing file and a folder
// keep the platform's bare message).
class EFOpenError : public EBaseError {
public:
    explicit EFOpenError(std::string_view fileName, std::string_view reason = {});
};

// A file longer than the program reads: still a file that could not be opened, with the reason.
class ETextTooLarge : public EFOpenError {
public:
    ETextTooLarge(std::string_view fileName, size_t ceiling);
};

// "Cannot create file %s", and after a colon the reason when one is known (the system's own
// for a failed call, as strerror words it).
class EFCreateError : public EBaseError {
public:
    explicit EFCreateError(std::string_view fileName, std::string_view reason = {});
    // The reason of the system's error number.
    static EFCreateError System(std::string_view fileName, int error);
};

// Any failure of zlib; its message is the bare word the platform always used.
class EZDecompressionError : public EBaseError {
public:
    EZDecompressionError() : EBaseError("error") {}
};

class EIntOverflow : public EBaseError {
public:
    EIntOverflow() : EBaseError("Integer overflow") {}
};

class ERangeError : public EBaseError {
public:
    ERangeError() : EBaseError("Range check error") {}
};

class EDivByZero : public EBaseError {
public:
    EDivByZero() : EBaseError("Division by zero") {}
};
