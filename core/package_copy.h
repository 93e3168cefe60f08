#pragma once
// The package's temporary copy, written on a thread of its own while the
// package is extracted straight from the executable's image.
#include "common/handles.h"
#include "core/payload_files.h"

namespace tovarin::core {

class PackageCopy {
public:
    // Starts writing bytes into file (open, empty) at once; on the calling
    // thread when no thread can be started.
    PackageCopy(UniqueFile file, ResourceBytes bytes);
    PackageCopy(const PackageCopy&) = delete;
    PackageCopy& operator=(const PackageCopy&) = delete;
    ~PackageCopy() { Wait(); }

    // Waits until the copy is written and closed; true when every byte went out.
    bool Wait();

private:
    static DWORD WINAPI Run(void* self);
    void Write();

    UniqueFile file_;
    const ResourceBytes bytes_;
    UniqueHandle thread_;
    bool written_ = false;  // set by the writing thread; read after it has ended
};

}  // namespace tovarin::core
