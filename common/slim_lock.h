#pragma once
// An exclusive lock for state that threads the installer does not own (the
// archive library's) call into. Usable with std::lock_guard.
#include <windows.h>

namespace tovarin {

class SlimLock {
public:
    SlimLock() = default;
    SlimLock(const SlimLock&) = delete;
    SlimLock& operator=(const SlimLock&) = delete;

    void lock() { ::AcquireSRWLockExclusive(&lock_); }
    void unlock() { ::ReleaseSRWLockExclusive(&lock_); }

private:
    SRWLOCK lock_ = SRWLOCK_INIT;
};

}  // namespace tovarin
