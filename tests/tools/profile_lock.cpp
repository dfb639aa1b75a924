// Holds a browser profile's lock file as the browser does while it runs:
// open for writing, shared for reading only, deleted when closed. Runs until
// the test ends it, or for a minute.
// Usage: profile_lock.exe <lock file>
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    if (argc != 2 || ::CreateFileW(argv[1], GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                   FILE_FLAG_DELETE_ON_CLOSE, nullptr) == INVALID_HANDLE_VALUE) {
        return 1;
    }
    ::Sleep(60000);
    return 0;
}
