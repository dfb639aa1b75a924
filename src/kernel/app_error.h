#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tidewell {

// A failure as the user sees it: a number and a description. Win32 errors and
// HRESULTs keep their own numbers; the program's own failures use the classic
// runtime numbers (13 for a type mismatch, 5 for a bad argument, ...).
class AppError : public std::runtime_error {
public:
    AppError(long number, std::string description)
        : std::runtime_error(description), number_(number), description_(std::move(description)) {}
    long number() const noexcept { return number_; }
    const std::string& description() const noexcept { return description_; }

private:
    long number_;
    std::string description_;
};

namespace errors {
inline constexpr long InvalidArgument = 5;
inline constexpr long Overflow = 6;
inline constexpr long OutOfMemory = 7;
inline constexpr long TypeMismatch = 13;
inline constexpr long InternalError = 51;
} // namespace errors

// "Error: " + number + " - " + description: the program-wide message.
std::string errorMessageText(long number, std::string_view description);

// Number and description of whatever was thrown; used by every guard.
struct CaughtError {
    long number;
    std::string description;
};
CaughtError describeCurrentException() noexcept;

// Text to a 32-bit number the strict way: optional sign and decimal digits,
// blanks around allowed, nothing else. Throws AppError 13 (or 6 on overflow).
std::int32_t toLongStrict(std::string_view text);

} // namespace tidewell
