// Holds a browser profile's lock file as the browser does while it runs:
// open for writing, shared for reading only, deleted when closed. Stops when
// the event named in the second argument is set, or after a minute.
// Usage: profile_lock.exe <lock file> <event name>
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        return 2;
    }
    HANDLE release = ::CreateEventW(nullptr, TRUE, FALSE, argv[2]);
    HANDLE lock = ::CreateFileW(argv[1], GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (lock == INVALID_HANDLE_VALUE || release == nullptr) {
        return 1;
    }
    ::WaitForSingleObject(release, 60000);
    ::CloseHandle(lock);
    ::CloseHandle(release);
    return 0;
}
