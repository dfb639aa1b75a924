#pragma once
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "cleaning/browsers/browser_cleaner.h"
#include "cleaning/clean_run_schedule.h"
#include "cleaning/erase_targets.h"
#include "cleaning/preview.h"
#include "kernel/report_error.h"
#include "kernel/status_pane.h"
#include "settings/browser_tweaks.h"

namespace tidewell {

// The window around the run.
class CleanRunWindow {
public:
    virtual ~CleanRunWindow() = default;
    // Option i counts as on only when its box is checked (value 1).
    virtual int optionValue(int index) = 0;
    // Normal state, "Main" tab, shown.
    virtual void bringForward() = 0;
    // Serves pending window messages.
    virtual void yield() = 0;
};

// Forces the current user's log-off; tests substitute one that only records.
class LogOff {
public:
    virtual ~LogOff() = default;
    virtual void forceLogOff() = 0;
};

// One flag for every long cleaning command: a click served during another's
// yields is ignored, not nested.
class CleaningActivity {
public:
    bool busy() const noexcept { return busy_; }
    class Scope {
    public:
        explicit Scope(CleaningActivity& a) : a_(a) { a_.busy_ = true; }
        ~Scope() { a_.busy_ = false; }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        CleaningActivity& a_;
    };

private:
    bool busy_ = false;
};

// Progress messages handed to the targets, by option index (empty: no line).
extern const std::array<const char*, 16> kCleanRunMessages;
inline constexpr const char* kIndexDatMessage = "Erasing Windows' index.dat Files";

// How a clean run ended.
enum class CleanOutcome {
    NotStarted,     // schedule edits pending, or another cleaning command running
    StoppedAtError, // the program-wide message was shown
    Finished,
};

// The question before the forced log-off, true to what the run did.
std::string logOffQuestion(CleanOutcome outcome);

// Asks Yes/No with No as the default; true only for Yes.
using AskYesNo = std::function<bool(const std::string& text)>;

class CleanRun {
public:
    CleanRun(CleanRunWindow& window, CleanRunSchedule& schedule, StatusPane& pane,
             StatusLabel& label, EraseTargets& targets, CleaningPlatform& platform,
             BrowserTweaks& tweaks, ErrorReporter& errors, CleaningActivity& activity,
             BrowserCleaner* browsers = nullptr)
        : window_(window), schedule_(schedule), pane_(pane), label_(label), targets_(targets),
          platform_(platform), tweaks_(tweaks), errors_(errors), activity_(activity),
          browsers_(browsers) {}

    // One pass over options 0..15, then the browsers' checked items.
    CleanOutcome cmdBasicClean_Click();
    // The run, then the question, then the forced log-off only on Yes.
    void cmdCleanRebot_Click(const AskYesNo& ask, LogOff& logOff);

    // The run's walk, only looking: the pane tells what each checked option
    // would erase; nothing on disk, in the registry, the settings or the
    // schedule changes. A click while it runs stops it. False when it did
    // not start (another cleaning command runs) or was a stop request.
    bool cmdPreview_Click();
    bool previewing() const noexcept { return collector_ != nullptr; }
    // What the last preview found, in the walk's order.
    const std::vector<FoundItem>& previewItems() const noexcept { return found_; }

private:
    void runOption(int index);
    void walkOptions();

    CleanRunWindow& window_;
    CleanRunSchedule& schedule_;
    StatusPane& pane_;
    StatusLabel& label_;
    EraseTargets& targets_;
    CleaningPlatform& platform_;
    BrowserTweaks& tweaks_;
    ErrorReporter& errors_;
    CleaningActivity& activity_;
    BrowserCleaner* browsers_;
    PreviewCollector* collector_ = nullptr;
    std::vector<FoundItem> found_;
};

// The option a found item belongs to, as the details list names it.
const char* previewOptionName(int index);

} // namespace tidewell
