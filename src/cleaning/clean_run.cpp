#include "cleaning/clean_run.h"

#include "settings/cleaning_options.h"

namespace tidewell {

const std::array<const char*, 16> kCleanRunMessages{{
    "",
    kIndexDatMessage,
    "Erasing 'Auto Complete' Site Addresses",
    "Erasing Recent Files",
    "Erasing My Documents Files",
    "Erasing Contents of Recycle Bin",
    "Erasing Internet Cashe",
    "Erasing Browser Cookies",
    "Erasing Browser Favorites",
    "Erasing Internet History",
    "",
    "Erasing Windows Temporary Files",
    "",
    "Erasing Windows Start Run History",
    "",
    "",
}};

const char* previewOptionName(int index) {
    static constexpr std::array<const char*, 16> names{
        {"", "index.dat", "Site Addresses", "Recent Files", "My Documents", "Recycle Bin",
         "Browser Cache", "Browser Cookies", "Browser Favorites", "Browser History", "",
         "Windows Temp", "Clipboard", "Start Run History", "", ""}};
    return index >= 0 && index < 16 ? names[static_cast<size_t>(index)] : "";
}

void CleanRun::runOption(int index) {
    const std::string message = kCleanRunMessages[static_cast<size_t>(index)];
    if (collector_ != nullptr) {
        // A preview changes nothing: the clipboard is only named and the
        // script settings, which erase nothing, say nothing.
        collector_->setOption(previewOptionName(index));
        if (index == 12) {
            appendLine(pane_, kFinishedGreen, "Would clear the clipboard");
            return;
        }
        if (index == 14 || index == 15) {
            return;
        }
    }
    switch (index) {
    case 1:
        targets_.EraseIndexDat(message);
        break;
    case 2:
        targets_.EraseTypedUrls(message);
        break;
    case 3:
        targets_.EraseRecentFiles(message);
        break;
    case 4:
        targets_.EraseMyDocuments(message);
        break;
    case 5:
        targets_.EraseRecycleBin(message);
        break;
    case 6:
        targets_.EraseCache(message);
        break;
    case 7:
        targets_.EraseCookies(message);
        break;
    case 8:
        targets_.EraseFavorites(message);
        break;
    case 9:
        targets_.EraseHistory(message);
        break;
    case 11:
        targets_.EraseTempFiles(message);
        break;
    case 12:
        platform_.EmptyClipboard();
        break;
    case 13:
        targets_.EraseRunHistory(message);
        break;
    case 14:
        tweaks_.disableScriptDebugger();
        break;
    case 15:
        tweaks_.disableScriptErrorNotification();
        break;
    default:
        break; // 0 acts at start-up; 10 reports at the end of the run
    }
}

std::string logOffQuestion(CleanOutcome outcome) {
    const char* first = outcome == CleanOutcome::Finished ? "Cleaning is finished. Log off now?"
                        : outcome == CleanOutcome::StoppedAtError
                            ? "Cleaning stopped at an error. Log off anyway?"
                            : "Nothing was cleaned: schedule changes are pending. Log off anyway?";
    return std::string(first) +
           "\r\n\r\nLogging off closes every program at once: unsaved work in other programs "
           "will be lost.";
}

CleanOutcome CleanRun::cmdBasicClean_Click() {
    if (activity_.busy() || schedule_.editsPending()) {
        return CleanOutcome::NotStarted;
    }
    CleaningActivity::Scope busy(activity_);
    const bool completed = runGuarded(errors_, [&] {
        schedule_.runStarting();
        window_.bringForward();
        pane_.Clear();
        targets_.resetFreed();
        if (browsers_ != nullptr) {
            browsers_->resetFreed();
        }
        walkOptions();
        // The browsers' folders go through the same wipe, which counts them.
        std::uint64_t freed = 0;
        if (browsers_ != nullptr) {
            freed = browsers_->bytesFreed();
        }
        freed += targets_.bytesFreed();
        if (window_.optionValue(10) == 1) {
            appendLine(pane_, kFinishedGreen,
                       "Space freed on your Hard Drive: " + formatBytes(freed));
        }
        pane_.SetColour(kDoneBlack);
        pane_.Append("\r\nDone");
        label_.SetText("\r\nDone");
        label_.SetText(kStatusReady);
    });
    // Even a run that stopped at an error re-arms the schedule, so that one
    // busy clipboard does not end scheduled cleaning until the next start.
    schedule_.runFinished();
    return completed ? CleanOutcome::Finished : CleanOutcome::StoppedAtError;
}

void CleanRun::walkOptions() {
    // One walk for the run and the preview: the same options in the same
    // order, then the browsers' items.
    for (int i = 0; i < kOptionCount; ++i) {
        if (collector_ != nullptr && collector_->cancelled()) {
            return;
        }
        if (window_.optionValue(i) == 1) {
            runOption(i);
        }
        pane_.Repaint();
        window_.yield();
    }
    if (browsers_ != nullptr && !(collector_ != nullptr && collector_->cancelled())) {
        browsers_->run([this] {
            pane_.Repaint();
            window_.yield();
        });
    }
}

bool CleanRun::cmdPreview_Click() {
    if (collector_ != nullptr) {
        collector_->cancel(); // the button reads "Stop" meanwhile
        return false;
    }
    if (activity_.busy()) {
        return false;
    }
    CleaningActivity::Scope busy(activity_);
    PreviewCollector collector;
    collector_ = &collector;
    // Every target walks through the one wiper: while it collects, nothing
    // anywhere is deleted. Reset on every way out.
    struct Collecting {
        CleanRun& run;
        PreviewCollector* previous;
        ~Collecting() {
            run.targets_.collectInto(previous);
            run.collector_ = nullptr;
        }
    } collecting{*this, targets_.collecting()};
    targets_.collectInto(&collector);
    found_.clear();
    runGuarded(errors_, [&] {
        pane_.Clear();
        walkOptions();
        pane_.SetColour(kDoneBlack);
        pane_.Append("\r\n" + previewTotalLine(collector.tallySince(0), collector.cancelled()));
        label_.SetText(kStatusReady);
    });
    found_ = collector.take();
    return true;
}

void CleanRun::cmdCleanRebot_Click(const AskYesNo& ask, LogOff& logOff) {
    if (activity_.busy()) {
        return;
    }
    const CleanOutcome outcome = cmdBasicClean_Click();
    // Forcing a log-off closes other programs without saving: only on Yes.
    if (ask(logOffQuestion(outcome))) {
        logOff.forceLogOff();
    }
}

} // namespace tidewell
