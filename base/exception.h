#pragma once
// The program-wide exception family. Every error a user can see carries its
// message text; the application's error handler shows it as is. Subsystems
// derive a class only where a caller must catch that kind specifically.

#include <stdexcept>
#include <string>

class TException : public std::runtime_error {
public:
    explicit TException(const std::string& message) : std::runtime_error(message) {}
    const char* Message() const noexcept { return what(); }
};

// Raised when text that should be a number is not one (parameter values).
class TConvertError : public TException {
public:
    explicit TConvertError(const std::string& message) : TException(message) {}
};
