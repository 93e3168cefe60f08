#pragma once
// Fire-and-forget delivery of one installer event: each event is posted on a
// thread of its own that nobody waits for; every failure is silent.
#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

namespace tovarin::telemetry {

inline constexpr char kEventPath[] = "/saveLogNotEnc?id=-001&type=";

// "http://" + the telemetry host + the event path + the encoded event type.
std::wstring BuildEventUrl(std::string_view host, std::wstring_view eventType);

// Starts the sending thread and returns at once. Any thread may call it.
void SendInstallerEvent(std::wstring_view eventType, std::wstring_view body);

// One event's request: posts the body to the URL once, then ends.
class TLogThread {
public:
    TLogThread(std::wstring url, std::wstring body) : url_(std::move(url)), body_(std::move(body)) {}

    // Runs Execute on a new detached thread, which owns the object. When no
    // thread can be started the event is dropped.
    static void Start(std::unique_ptr<TLogThread> thread);

    // The request itself, on the calling thread; never throws.
    void Execute() const noexcept;

private:
    static DWORD WINAPI ThreadMain(void* self);

    const std::wstring url_;
    const std::wstring body_;
};

}  // namespace tovarin::telemetry
