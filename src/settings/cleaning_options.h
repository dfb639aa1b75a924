#pragma once
#include <array>
#include <string>
#include <utility>

#include "kernel/settings_store.h"

namespace tidewell {

inline constexpr int kOptionCount = 16;

// The order in which the Default button sets the boxes: (index, value).
extern const std::array<std::pair<int, int>, 12> kDefaultSettingsOrder;

// Option 2: unchecked 0, checked 1, grayed 2 (counts as off).
inline constexpr int vbUnchecked = 0;
inline constexpr int vbChecked = 1;
inline constexpr int vbGrayed = 2;

// The sixteen check boxes as the panel shows them.
class OptionBoxes {
public:
    virtual ~OptionBoxes() = default;
    virtual int value(int index) = 0;
    // Changes the box only; the click that a change raises is the caller's.
    virtual void setValue(int index, int value) = 0;
};

// The cleaning options' rules: stored on a click once loaded, defaults,
// restore at start-up.
class CleaningOptions {
public:
    // `applicationName` is the program's folder: options belong to one copy.
    CleaningOptions(OptionBoxes& boxes, SettingsStore& store, std::string applicationName,
                    const bool& loaded)
        : boxes_(boxes), store_(store), application_(std::move(applicationName)), loaded_(loaded) {}

    // Stores the box's state, but only once start-up has finished.
    void chkSettings_Click(int index);
    // Sets the Default column in its order; each change raises the click.
    void cmdDefaultSettings_Click();
    // Every stored value but the sentinel 3 replaces the box's value. A value
    // that is no number stops here with AppError 13.
    void LoadOptions();

    static std::string keyName(int index) { return "Index" + std::to_string(index); }

private:
    void setBox(int index, int value);

    OptionBoxes& boxes_;
    SettingsStore& store_;
    std::string application_;
    const bool& loaded_;
};

inline constexpr const char* kOptionsSection = "Settings";

} // namespace tidewell
