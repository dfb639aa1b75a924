#pragma once
// Drives the real Varnholt.exe from another process, as a user would.
#include <windows.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "win32/unique_handle.h"

namespace tidewell::e2e {

using namespace std::chrono_literals;

// Where the bench installed the program (scripts/sandbox.sh).
inline const std::wstring kProgramExe = L"C:\\Program Files\\Tidewell\\Varnholt.exe";

// Polls `ready` until it is true or the time is up.
template <typename F> bool waitFor(F&& ready, std::chrono::milliseconds limit = 15s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (ready()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        ::Sleep(50);
    }
}

// One started copy of the program, ended by its own handle when the test is done.
class ProgramProcess {
public:
    explicit ProgramProcess(const std::wstring& exe = kProgramExe,
                            const std::wstring& arguments = L"");
    ~ProgramProcess();

    DWORD pid() const noexcept { return pid_; }
    bool running() const;
    // Waits for the process to end; returns its exit code, or -1 on timeout.
    long waitExit(std::chrono::milliseconds limit = 15s);

    // The program's top-level window of `className` (visible or not), 0 if none.
    HWND findWindow(const wchar_t* className, bool visibleOnly = false) const;
    HWND waitMainWindow(std::chrono::milliseconds limit = 20s) const;

private:
    win32::UniqueHandle process_;
    DWORD pid_ = 0;
};

std::string text(HWND hwnd);
// Text of a control of the main window or any of its pages.
HWND findControl(HWND mainWindow, int id);
std::string controlText(HWND mainWindow, int id);
// Chooses a tab as a user would; its page is made on first use.
void chooseTab(HWND mainWindow, int index);
// Clicks a button as the keyboard would (works for hidden pages too).
void click(HWND button);
// The visible notification icons, which Wine shows as windows of its own.
std::vector<HWND> trayIcons();
// Clicks "Exit" and waits for the end; the exit code, or -1.
long exitWithButton(ProgramProcess& process, HWND mainWindow);
// Sends a message whose lParam points at a buffer, through memory of the
// window's own process; `buffer` is copied in before and back after.
LRESULT sendWithBuffer(HWND hwnd, UINT msg, WPARAM wp, void* buffer, size_t size);
// Waits for the folder browser of the process and chooses `folder` in it.
bool chooseFolder(const ProgramProcess& process, const std::string& folder);
// The first visible message box of the process, or 0.
HWND findMessageBox(const ProgramProcess& process);
// Waits for one (with `title` if given); 0 if none came.
HWND waitMessageBox(const ProgramProcess& process, const char* title = nullptr);
std::string messageBoxText(HWND box);
// Answers a message box with `button` and waits until no box is left.
bool answerMessageBox(const ProgramProcess& process, HWND box, int button = IDOK);
} // namespace tidewell::e2e
