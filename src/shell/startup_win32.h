#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "shell/startup.h"
#include "win32/module_path.h"
#include "win32/unique_handle.h"

namespace tidewell::win32 {

// Name of the single-instance mutex: in the session namespace, so each signed
// in user (and each terminal session) may run one copy.
inline constexpr wchar_t kSingleInstanceMutex[] = L"Local\\Tidewell.Varnholt.SingleInstance";

class Win32StartupPorts : public StartupPorts {
public:
    explicit Win32StartupPorts(std::function<void()> showMainWindow)
        : showMainWindow_(std::move(showMainWindow)) {}
    bool AnotherInstanceRunning() override;
    void ShowInformation(const std::string& title, const std::string& text) override;
    std::string ReadWinIni(const std::string& section, const std::string& key,
                           const std::string& defaultValue) override;
    void WriteWinIni(const std::string& section, const std::string& key,
                     const std::string& value) override;
    std::string ProgramFolder() override;
    void ShowMainWindow() override { showMainWindow_(); }

private:
    std::function<void()> showMainWindow_;
    UniqueHandle instanceMutex_;
};


// Finds the running copy's main window by its class and hands it the path
// with WM_COPYDATA. A copy that is still starting gets a few seconds to show
// its window.
class Win32InstanceHandOver : public InstanceHandOver {
public:
    bool HandOver(const std::string& path) override;
};

// The command line of this process, a path in it made absolute against the
// current folder (the receiving copy never resolves one).
CommandLine readCommandLine(const wchar_t* tail);

} // namespace tidewell::win32
