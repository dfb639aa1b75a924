#pragma once
#include <windows.h>

#include <array>
#include <string>
#include <vector>

#include "cleaning/cleaning_ids.h"
#include "cleaning/preview.h"
#include "win32/dialog.h"

namespace tidewell::win32 {

// The list of everything the last preview found: path, size, last change and
// option, sortable by each column; "Copy" puts it on the clipboard as
// tab-separated text. Built from what the walk collected, never a new walk.
class PreviewDetails : public Dialog {
public:
    explicit PreviewDetails(std::vector<FoundItem> items) : items_(std::move(items)) {}
    void show(HINSTANCE instance, HWND owner) { runModal(instance, IDD_PREVIEW_DETAILS, owner); }

    // A last-change time in the user's own short date and time.
    static std::string localTime(std::uint64_t ticks);

protected:
    INT_PTR handleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void fill();
    void sortBy(int column);
    void copy();

    std::vector<FoundItem> items_;
    std::vector<std::array<std::wstring, kDetailColumnCount>> rows_;
    int sortColumn_ = -1;
    bool ascending_ = true;
};

} // namespace tidewell::win32
