#include "settings/cleaning_options.h"

#include "kernel/app_error.h"

namespace tidewell {

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
