#pragma once
#include <windows.h>

#include <string>

#include "kernel/report_error.h"

namespace tidewell::win32 {

// Message-box form of the program-wide error trap.
class MessageBoxErrorReporter : public ErrorReporter {
public:
    void ReportError(long number, const std::string& description) override;
    void setOwner(HWND owner) noexcept { owner_ = owner; }
    void setTitle(std::string title) { title_ = std::move(title); }

private:
    HWND owner_ = nullptr;
    std::string title_ = "Tidewell";
};

// The reporter that window procedures and dialog procedures use when an
// exception reaches them. Never null: defaults to a message-box reporter.
ErrorReporter& processErrorReporter() noexcept;
void setProcessErrorReporter(ErrorReporter* reporter) noexcept;

// For exception barriers: reports whatever is being handled.
void reportCurrentException() noexcept;

} // namespace tidewell::win32
