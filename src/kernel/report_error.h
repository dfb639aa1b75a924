#pragma once
#include <string>

#include "kernel/app_error.h"

namespace tidewell {

// The program-wide error trap: shows "Error: " + number + " - " + description
// with an OK button under the program's title. The program goes on.
class ErrorReporter {
public:
    virtual ~ErrorReporter() = default;
    virtual void ReportError(long number, const std::string& description) = 0;
};

// Runs `work`; a failure is reported and abandons the rest of it. Returns
// whether `work` completed.
template <typename F> bool runGuarded(ErrorReporter& reporter, F&& work) noexcept {
    try {
        work();
        return true;
    } catch (...) {
        CaughtError e = describeCurrentException();
        try {
            reporter.ReportError(e.number, e.description);
        } catch (...) {
            // Nothing more can be done from inside the guard itself.
        }
        return false;
    }
}

} // namespace tidewell
