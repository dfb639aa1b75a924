#include "settings/cleaning_options.h"

#include "kernel/app_error.h"

namespace tidewell {

const std::array<OptionInfo, kOptionCount> kCleaningOptions{{
    {"Prevents Sites from improperly changing your Home Page", 1},
    {"Erases Windows' secret index.dat file", 1},
    {"Erases Site Addresses", 1},
    {"Erases Recent Files List", 1},
    {"Erases My Documents Files", 0},
    {"Erases Recycle Bin", 1},
    {"Erases Browser Cache Files", 0},
    {"Erases Browser Cookies", 1},
    {"Erases Browser Favorites ", 0},
    {"Erases Browser History Logs", 1},
    {"Frees space on your Hard Drive", 1},
    {"Windows Temp Directories", 1},
    {"Clear Clipboard", kNoDefault},
    {"Delete Windows start menu \"run\" history", kNoDefault},
    {"Disable Script Debugging", kNoDefault},
    {"Don't Display a Notification About Every Script Error", kNoDefault},
}};

const std::array<std::pair<int, int>, 12> kDefaultSettingsOrder{{
    {2, 1},
    {6, 0},
    {7, 1},
    {8, 0},
    {9, 1},
    {10, 1},
    {1, 1},
    {4, 0},
    {0, 1},
    {3, 1},
    {5, 1},
    {11, 1},
}};

void CleaningOptions::chkSettings_Click(int index) {
    if (!loaded_ || index < 0 || index >= kOptionCount) {
        return;
    }
    store_.SaveSetting(application_, kOptionsSection, keyName(index),
                       std::to_string(boxes_.value(index)));
}

void CleaningOptions::setBox(int index, int value) {
    // As with the control itself, only a change raises the click.
    if (boxes_.value(index) != value) {
        boxes_.setValue(index, value);
        chkSettings_Click(index);
    }
}

void CleaningOptions::cmdDefaultSettings_Click() {
    for (const auto& [index, value] : kDefaultSettingsOrder) {
        setBox(index, value);
    }
}

void CleaningOptions::LoadOptions() {
    constexpr int kAbsent = 3;
    for (int i = 0; i < kOptionCount; ++i) {
        const std::string text =
            store_.GetSetting(application_, kOptionsSection, keyName(i), std::to_string(kAbsent));
        const int value = toLongStrict(text);
        if (value == kAbsent) {
            continue;
        }
        if (value < vbUnchecked || value > vbGrayed) {
            throw AppError(380, "Invalid property value");
        }
        setBox(i, value);
    }
}

} // namespace tidewell
