// Entry point of Varnholt.exe.
#include <windows.h>
#include <commctrl.h>

#include <memory>

#include "kernel/registry_win32.h"
#include "kernel/settings_store_win32.h"
#include "shell/frmMain_win32.h"
#include "shell/startup_win32.h"
#include "shell/version_win32.h"
#include "win32/com.h"
#include "win32/error_report.h"
#include "win32/message_pump.h"

using namespace tidewell;

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    // Libraries loaded by name come from System32 only, never from the
    // current folder or PATH.
    ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    ::HeapSetInformation(nullptr, HeapEnableTerminationOnCorruption, nullptr, 0);

    win32::ComApartment com;
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_DATE_CLASSES | ICC_TAB_CLASSES |
                                              ICC_PROGRESS_CLASS | ICC_UPDOWN_CLASS |
                                              ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);

    const ProductInfo product = win32::readProductInfo();
    win32::MessageBoxErrorReporter errors;
    errors.setTitle(kAppTitle);
    win32::setProcessErrorReporter(&errors);

    win32::RegistrySettingsStore settings;
    win32::WinRegistry registry;
    std::unique_ptr<frmMain> mainWindow;
    const CommandLine command = win32::readCommandLine(commandLine);

    win32::Win32StartupPorts ports([&] {
        frmMain::registerWindowClass(instance);
        mainWindow = std::make_unique<frmMain>(
            frmMainServices{instance, product, &settings, &registry, &errors});
        mainWindow->Show(command.kind != CommandLine::Kind::Tray);
        errors.setOwner(mainWindow->hwnd());
        if (command.kind == CommandLine::Kind::OpenFile) {
            mainWindow->openForDecryption(command.path);
        }
    });

    try {
        win32::Win32InstanceHandOver running;
        if (Main(ports, product, command, running) != StartupResult::Started) {
            return 0;
        }
    } catch (...) {
        // Nothing to run without a main window.
        win32::reportCurrentException();
        return 1;
    }
    const int code = win32::runMessageLoop();
    errors.setOwner(nullptr);
    mainWindow.reset();
    return code;
}
