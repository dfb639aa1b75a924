// End to end: the popup killer of the real program, with the fake
// shell-window collection registered in the prefix in place of the real one.
// The driver opens and closes fake browser windows, fires their new-window
// requests and reads back Cancel, the tones and the list of windows.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "fake_shell_install.h"
#include "fake_shell_protocol.h"
#include "kernel/settings_store_win32.h"
#include "program_driver.h"
#include "shell/resource.h"
#include "win32/unicode.h"

using namespace tidewell;
using namespace tidewell::e2e;

namespace {

const wchar_t kPopupKillerKey[] = L"Software\\VB and VBA Program Settings\\Tidewell\\PopupKiller";

// A list-view row of another process: its three cells and its handle.
struct Row {
    std::string location, url, time;
    LPARAM handle = 0;
};

std::vector<Row> readList(HWND list) {
    std::vector<Row> rows;
    const int count = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        auto cell = [&](int column) {
            LVITEMW item{};
            item.mask = LVIF_TEXT;
            item.iItem = i;
            item.iSubItem = column;
            return itemText(list, LVM_GETITEMW, 0, item);
        };
        LVITEMW param{};
        param.mask = LVIF_PARAM;
        param.iItem = i;
        sendWithBuffer(list, LVM_GETITEMW, 0, &param, sizeof(param));
        rows.push_back({cell(0), cell(1), cell(2), param.lParam});
    }
    return rows;
}

std::string columnCaption(HWND list, int index) {
    HDITEMW item{};
    item.mask = HDI_TEXT;
    return itemText(reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0)), HDM_GETITEMW,
                    static_cast<WPARAM>(index), item);
}

class PopupE2E : public ::testing::Test {
protected:
    void SetUp() override {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kPopupKillerKey);
        registration = std::make_unique<fakeshell::Registration>();
        ASSERT_TRUE(registration->ok()) << registration->errorText();
    }
    void TearDown() override {
        program.reset();
        registration.reset();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kPopupKillerKey);
    }
    std::string stored() {
        return store.GetSetting("Tidewell", "PopupKiller", "IsActive", "<absent>");
    }

    // Starts the program and finds its window, list and the fake's control.
    void start() {
        program.reset();
        program = std::make_unique<ProgramProcess>();
        ASSERT_TRUE(program->running());
        main = program->waitMainWindow();
        ASSERT_NE(main, nullptr);
        ASSERT_TRUE(waitFor([&] {
            return (control = fakeshell::controlWindow(program->pid())) != nullptr;
        })) << "the program did not load the fake collection";
        list = findControl(main, IDC_VINDOWS);
        box = findControl(main, IDC_CHKPOPUPKILLERACTIVATE);
        ASSERT_NE(list, nullptr);
        ASSERT_NE(box, nullptr);
    }
    void stop() {
        program.reset();
        main = control = list = box = nullptr;
    }
    LRESULT send(UINT msg, WPARAM wp = 0, LPARAM lp = 0) {
        DWORD_PTR result = 0;
        ::SendMessageTimeoutW(control, msg, wp, lp, SMTO_ABORTIFHUNG, 10000, &result);
        return static_cast<LRESULT>(static_cast<INT_PTR>(result));
    }
    int open(std::int32_t handle) {
        return static_cast<int>(send(fakeshell::kOpen, static_cast<WPARAM>(handle), 0));
    }
    bool checked() { return ::SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }
    void showPopupTab() { ::SendMessageW(::GetDlgItem(main, IDC_TABMAIN), TCM_SETCURFOCUS, 4, 0); }
    std::vector<LPARAM> handles() {
        std::vector<LPARAM> out;
        for (const Row& r : readList(list)) {
            out.push_back(r.handle);
        }
        return out;
    }

    std::unique_ptr<fakeshell::Registration> registration;
    win32::RegistrySettingsStore store;
    std::unique_ptr<ProgramProcess> program;
    HWND main = nullptr, control = nullptr, list = nullptr, box = nullptr;
};

TEST_F(PopupE2E, OnAtFirstStartANewWindowIsRefusedWithAToneUnlessCtrlIsHeld) {
    start();
    EXPECT_TRUE(checked());
    EXPECT_EQ(stored(), "1");
    EXPECT_EQ(columnCaption(list, 0), "Location");
    EXPECT_EQ(columnCaption(list, 1), "URL");
    EXPECT_EQ(columnCaption(list, 2), "Time");

    const int id = open(1234);
    ASSERT_GT(id, 0);
    EXPECT_EQ(send(fakeshell::kNewWindow2, static_cast<WPARAM>(id)), 1);
    EXPECT_EQ(send(fakeshell::kTones), 1);
    EXPECT_EQ(send(fakeshell::kLastTone), 950 * 10000 + 150);

    // Keys typed into a window of the driver's own are the easiest for the
    // bench to deliver; the key state they leave is the whole desktop's.
    OwnWindows keys{L"Keys"};
    bool held = false;
    for (int attempt = 0; attempt < 3 && !held; ++attempt) {
        ::SetForegroundWindow(keys[0]);
        keys.waitPumping([&] { return ::GetForegroundWindow() == keys[0]; }, 3s);
        ::Sleep(300);
        sendKeys({{VK_CONTROL, true}});
        held = keys.waitPumping([] { return (::GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0; }, 2s);
        if (!held) {
            sendKeys({{VK_CONTROL, false}});
        }
    }
    const LRESULT withCtrl = send(fakeshell::kNewWindow2, static_cast<WPARAM>(id));
    sendKeys({{VK_CONTROL, false}});
    keys.pump();
    ASSERT_TRUE(held) << "the bench could not hold Ctrl down";
    EXPECT_EQ(withCtrl, 0);
    EXPECT_EQ(send(fakeshell::kTones), 1);
    // Ctrl released (and its "pressed since" bit consumed): refused again.
    EXPECT_EQ(send(fakeshell::kNewWindow2, static_cast<WPARAM>(id)), 1);
    EXPECT_EQ(send(fakeshell::kTones), 2);
}

TEST_F(PopupE2E, WindowsAddAndRemoveRowsWithTheRebuildTimeInEveryRow) {
    start();
    EXPECT_TRUE(readList(list).empty());
    const int a = open(100);
    ASSERT_TRUE(waitFor([&] { return readList(list).size() == 1; }));
    std::vector<Row> rows = readList(list);
    EXPECT_EQ(rows[0].location, "Fake page " + std::to_string(a));
    EXPECT_EQ(rows[0].url, "http://fake.example/" + std::to_string(a));
    EXPECT_TRUE(
        std::regex_match(rows[0].time, std::regex(R"((0[1-9]|1[0-2]):[0-5]\d:[0-5]\d \S+)")))
        << rows[0].time;
    EXPECT_EQ(rows[0].handle, 100);

    const int b = open(200);
    const int twin = open(200); // a second element with the same handle
    ASSERT_TRUE(waitFor([&] { return handles() == std::vector<LPARAM>{100, 200}; }));
    rows = readList(list);
    EXPECT_EQ(rows[1].location, "Fake page " + std::to_string(b));
    EXPECT_EQ(rows[0].time, rows[1].time);

    ::Sleep(1100); // the next rebuild has a later time, shown in every row
    send(fakeshell::kClose, static_cast<WPARAM>(a));
    ASSERT_TRUE(waitFor([&] { return handles() == std::vector<LPARAM>{200}; }));
    EXPECT_NE(readList(list)[0].time, rows[0].time);

    send(fakeshell::kClose, static_cast<WPARAM>(b));
    ASSERT_TRUE(waitFor([&] { return handles() == std::vector<LPARAM>{200}; }));
    EXPECT_EQ(readList(list)[0].location, "Fake page " + std::to_string(twin));
    send(fakeshell::kClose, static_cast<WPARAM>(twin));
    EXPECT_TRUE(waitFor([&] { return readList(list).empty(); }));
}

TEST_F(PopupE2E, StoredOffStartsOffAndTheBoxAndMenuSwitchAndStore) {
    store.SaveSetting("Tidewell", "PopupKiller", "IsActive", "0");
    start();
    EXPECT_FALSE(checked());
    EXPECT_EQ(stored(), "0");
    const int id = open(555);
    EXPECT_EQ(send(fakeshell::kNewWindow2, static_cast<WPARAM>(id)), 0);
    EXPECT_EQ(send(fakeshell::kTones), 0);
    // Switching off did not freeze the list.
    EXPECT_TRUE(waitFor([&] { return handles() == std::vector<LPARAM>{555}; }));

    showPopupTab();
    ::SendMessageW(box, BM_CLICK, 0, 0);
    ASSERT_TRUE(waitFor([&] { return stored() == "1"; }));
    EXPECT_TRUE(checked());
    EXPECT_EQ(send(fakeshell::kNewWindow2, static_cast<WPARAM>(id)), 1);

    ::SendMessageW(box, BM_CLICK, 0, 0);
    ASSERT_TRUE(waitFor([&] { return stored() == "0"; }));
    EXPECT_EQ(send(fakeshell::kNewWindow2, static_cast<WPARAM>(id)), 0);

    // The tray menu item flips the box, and the box stores.
    ::PostMessageW(main, WM_COMMAND, MAKEWPARAM(ID_MNUPOUPKILLER, 0), 0);
    ASSERT_TRUE(waitFor([&] { return checked(); }));
    EXPECT_EQ(stored(), "1");
    ::PostMessageW(main, WM_COMMAND, MAKEWPARAM(ID_MNUPOUPKILLER, 0), 0);
    ASSERT_TRUE(waitFor([&] { return !checked(); }));
    EXPECT_EQ(stored(), "0");

    stop();
    start();
    EXPECT_FALSE(checked()); // "0" survives the restart
    stop();
    store.SaveSetting("Tidewell", "PopupKiller", "IsActive", "off");
    start();
    EXPECT_TRUE(checked()); // anything but "0" is on
    EXPECT_EQ(stored(), "1");
    EXPECT_EQ(send(fakeshell::kNewWindow2, static_cast<WPARAM>(open(9))), 1);
}

} // namespace
