#pragma once
// A browser's lock held as the browser holds it, by the helper process
// C:\testbin\profile_lock.exe (installed by the bench), ended when this goes.
#include <windows.h>

#include <gtest/gtest.h>

#include "../unit/browser_fixtures.h"
#include "test_files.h"

namespace tidewell::testing_files {

class LockHolder {
public:
    explicit LockHolder(const std::string& lockFile) {
        std::wstring cmd = L"C:\\testbin\\profile_lock.exe \"" + win32::toUtf16(lockFile) + L"\"";
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi{};
        if (!::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                              nullptr, nullptr, &si, &pi)) {
            ADD_FAILURE() << "profile_lock.exe did not start: " << ::GetLastError();
            return;
        }
        ::CloseHandle(pi.hThread);
        process_.reset(pi.hProcess);
        // Held once the file exists and refuses deletion.
        const auto held = [&] {
            win32::UniqueFile f(::CreateFileW(win32::toUtf16(lockFile).c_str(), DELETE, 7, nullptr,
                                              OPEN_EXISTING, 0, nullptr));
            return exists(lockFile) && !f;
        };
        for (int i = 0; i < 200 && !held(); ++i) {
            ::Sleep(50);
        }
        EXPECT_TRUE(held()) << lockFile;
    }
    ~LockHolder() {
        if (process_) {
            ::TerminateProcess(process_.get(), 0);
            ::WaitForSingleObject(process_.get(), 10000);
        }
    }

private:
    win32::UniqueHandle process_;
};

} // namespace tidewell::testing_files
