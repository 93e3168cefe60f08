#pragma once
// The single-instance guard: a named mutex owned by the first installer.
#include <string>

#include "common/handles.h"

namespace tovarin::app {

class InstanceMutex {
public:
    // Creates (or opens) the mutex, asking to own it from the start.
    explicit InstanceMutex(const std::wstring& name);
    // Releases ownership when held; the handle closes with the object.
    ~InstanceMutex();
    InstanceMutex(const InstanceMutex&) = delete;
    InstanceMutex& operator=(const InstanceMutex&) = delete;

    // Another installer created the mutex first. A failure to create it
    // counts as the first instance.
    bool AlreadyRunning() const { return alreadyRunning_; }

private:
    UniqueHandle mutex_;
    bool alreadyRunning_ = false;
};

// The caption a message box gets before the application has a title: the
// executable's name without folder, cut before its first ".", first character
// kept, the rest lower-cased ("C:\x\TovarinSetup.exe" gives "Tovarinsetup").
std::wstring DefaultTitleFromPath(std::wstring_view exePath);
std::wstring DefaultTitle();

}  // namespace tovarin::app
