#include "kernel/app_error.h"

#include <charconv>
#include <exception>
#include <new>

namespace tidewell {

std::string errorMessageText(long number, std::string_view description) {
    std::string text = "Error: ";
    text += std::to_string(number);
    text += " - ";
    text += description;
    return text;
}

CaughtError describeCurrentException() noexcept {
    try {
        throw;
    } catch (const AppError& e) {
        return {e.number(), e.description()};
    } catch (const std::bad_alloc&) {
        return {errors::OutOfMemory, "Out of memory"};
    } catch (const std::exception& e) {
        return {errors::InternalError, e.what()};
    } catch (...) {
        return {errors::InternalError, "Internal error"};
    }
}

std::int32_t toLongStrict(std::string_view text) {
    auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    std::int32_t value = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(first, last, value);
    if (text.empty() || ec == std::errc::invalid_argument || ptr != last) {
        throw AppError(errors::TypeMismatch, "Type mismatch");
    }
    if (ec == std::errc::result_out_of_range) {
        throw AppError(errors::Overflow, "Overflow");
    }
    return value;
}

} // namespace tidewell
