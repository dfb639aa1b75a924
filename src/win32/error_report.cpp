#include "win32/error_report.h"

#include "win32/unicode.h"

namespace tidewell::win32 {

void MessageBoxErrorReporter::ReportError(long number, const std::string& description) {
    ::MessageBoxW(owner_, toUtf16(errorMessageText(number, description)).c_str(),
                  toUtf16(title_).c_str(), MB_OK);
}

namespace {
MessageBoxErrorReporter& defaultReporter() {
    static MessageBoxErrorReporter reporter;
    return reporter;
}
ErrorReporter* g_reporter = nullptr;
} // namespace

ErrorReporter& processErrorReporter() noexcept {
    return g_reporter != nullptr ? *g_reporter : defaultReporter();
}

void setProcessErrorReporter(ErrorReporter* reporter) noexcept {
    g_reporter = reporter;
}

void reportCurrentException() noexcept {
    CaughtError e = describeCurrentException();
    try {
        processErrorReporter().ReportError(e.number, e.description);
    } catch (...) {
        // A failing report must not cross into user32.
    }
}

} // namespace tidewell::win32
