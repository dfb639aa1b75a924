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
#include "program_driver.h"
#include "shell/resource.h"
#include "shell/settings_store_win32.h"
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
    DWORD pid = 0;
    ::GetWindowThreadProcessId(list, &pid);
    win32::UniqueHandle process(
        ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
    if (!process) {
        return rows;
    }
    constexpr size_t kChars = 512;
    auto* remote = static_cast<BYTE*>(::VirtualAllocEx(process.get(), nullptr,
                                                       sizeof(LVITEMW) + kChars * sizeof(wchar_t),
                                                       MEM_COMMIT, PAGE_READWRITE));
    if (remote == nullptr) {
        return rows;
    }
    const int count = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        Row row;
        for (int column = 0; column < 3; ++column) {
            LVITEMW item{};
            item.mask = LVIF_TEXT | LVIF_PARAM;
            item.iItem = i;
            item.iSubItem = column;
            item.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(LVITEMW));
            item.cchTextMax = kChars;
            ::WriteProcessMemory(process.get(), remote, &item, sizeof(item), nullptr);
            ::SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote));
            wchar_t text[kChars] = {};
            ::ReadProcessMemory(process.get(), remote + sizeof(LVITEMW), text, sizeof(text),
                                nullptr);
            ::ReadProcessMemory(process.get(), remote, &item, sizeof(item), nullptr);
            text[kChars - 1] = L'\0';
            const std::string value = win32::toUtf8(text);
            (column == 0 ? row.location : column == 1 ? row.url : row.time) = value;
            if (column == 0) {
                row.handle = item.lParam;
            }
        }
        rows.push_back(row);
    }
    ::VirtualFreeEx(process.get(), remote, 0, MEM_RELEASE);
    return rows;
}

std::string columnCaption(HWND list, int index) {
    HWND header = reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0));
    DWORD pid = 0;
    ::GetWindowThreadProcessId(list, &pid);
    win32::UniqueHandle process(
        ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
    auto* remote = static_cast<BYTE*>(::VirtualAllocEx(
        process.get(), nullptr, sizeof(HDITEMW) + 256, MEM_COMMIT, PAGE_READWRITE));
    HDITEMW item{};
    item.mask = HDI_TEXT;
    item.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(HDITEMW));
    item.cchTextMax = 128;
    ::WriteProcessMemory(process.get(), remote, &item, sizeof(item), nullptr);
    ::SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(index),
                   reinterpret_cast<LPARAM>(remote));
    wchar_t text[128] = {};
    ::ReadProcessMemory(process.get(), remote + sizeof(HDITEMW), text, sizeof(text) - 2, nullptr);
    ::VirtualFreeEx(process.get(), remote, 0, MEM_RELEASE);
    return win32::toUtf8(text);
}

void pressCtrl(bool down) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = VK_CONTROL;
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    ::SendInput(1, &input, sizeof(input));
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
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TidewellPopupKeys";
    ::RegisterClassW(&wc);
    HWND keys = ::CreateWindowExW(0, wc.lpszClassName, L"Keys", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                                  0, 200, 100, nullptr, nullptr, wc.hInstance, nullptr);
    auto pump = [] {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::DispatchMessageW(&msg);
        }
    };
    bool held = false;
    for (int attempt = 0; attempt < 3 && !held; ++attempt) {
        ::SetForegroundWindow(keys);
        waitFor(
            [&] {
                pump();
                return ::GetForegroundWindow() == keys;
            },
            3s);
        ::Sleep(300);
        pressCtrl(true);
        held = waitFor(
            [&] {
                pump();
                return (::GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0;
            },
            2s);
        if (!held) {
            pressCtrl(false);
        }
    }
    const LRESULT withCtrl = send(fakeshell::kNewWindow2, static_cast<WPARAM>(id));
    pressCtrl(false);
    pump();
    ::DestroyWindow(keys);
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
