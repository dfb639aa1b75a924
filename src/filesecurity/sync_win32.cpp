// The slim locks behind sync.h on Windows; linked into the portable library
// of the Windows build, since its threads wait on them.
#include "filesecurity/sync.h"

#include <windows.h>

namespace tidewell::filesecurity {

static_assert(sizeof(SRWLOCK) == sizeof(void*) && sizeof(CONDITION_VARIABLE) == sizeof(void*));

namespace {
PSRWLOCK slim(void*& p) { return reinterpret_cast<PSRWLOCK>(&p); }
} // namespace

void Mutex::lock() noexcept { ::AcquireSRWLockExclusive(slim(slim_)); }
bool Mutex::try_lock() noexcept { return ::TryAcquireSRWLockExclusive(slim(slim_)) != FALSE; }
void Mutex::unlock() noexcept { ::ReleaseSRWLockExclusive(slim(slim_)); }

void CondVar::wait(std::unique_lock<Mutex>& lock) noexcept {
    ::SleepConditionVariableSRW(reinterpret_cast<PCONDITION_VARIABLE>(&slim_),
                                slim(lock.mutex()->slim_), INFINITE, 0);
}
void CondVar::notify_one() noexcept {
    ::WakeConditionVariable(reinterpret_cast<PCONDITION_VARIABLE>(&slim_));
}
void CondVar::notify_all() noexcept {
    ::WakeAllConditionVariable(reinterpret_cast<PCONDITION_VARIABLE>(&slim_));
}

} // namespace tidewell::filesecurity
