#include "telemetry/event_sender.h"

#include "build_config.h"
#include "common/handles.h"
#include "common/system_library.h"
#include "common/text.h"
#include "telemetry/query_encoding.h"

namespace tovarin::telemetry {
namespace {

struct CloseInternetFn {
    void operator()(HINTERNET h) const { WinHttp()->WinHttpCloseHandle(h); }  // only handles it opened
};
using UniqueInternet = UniqueResource<HINTERNET, nullptr, CloseInternetFn>;

constexpr wchar_t kHeaders[] = L"Content-Type: application/json\r\nContent-Encoding: UTF-8";

void Post(const std::wstring& url, const std::string& body) {
    const WinHttpFunctions* http = WinHttp();
    if (!http) return;
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!http->WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) return;
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring target(parts.lpszUrlPath, parts.dwUrlPathLength);
    target.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);

    // A client of its own for this one request; no proxy, no reuse.
    UniqueInternet session(http->WinHttpOpen(L"TovarinSetup", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                       WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) return;
    UniqueInternet connection(http->WinHttpConnect(session.get(), host.c_str(), parts.nPort, 0));
    if (!connection) return;
    UniqueInternet request(http->WinHttpOpenRequest(connection.get(), L"POST", target.c_str(), nullptr,
                                              WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, 0));
    if (!request) return;
    const auto length = static_cast<DWORD>(body.size());
    if (!http->WinHttpSendRequest(request.get(), kHeaders, static_cast<DWORD>(-1),
                            const_cast<char*>(body.data()), length, length, 0))
        return;
    if (!http->WinHttpReceiveResponse(request.get(), nullptr)) return;
    // Read the answer to its end and drop it; its status does not matter.
    char sink[1024];
    DWORD read = 0;
    while (http->WinHttpReadData(request.get(), sink, sizeof sink, &read) && read > 0) {
    }
}

}  // namespace

std::wstring BuildEventUrl(std::string_view host, std::wstring_view eventType) {
    std::string url = "http://";
    url += host;
    url += kEventPath;
    url += EncodeQueryValue(Narrow(eventType));
    return Widen(url);
}

void SendInstallerEvent(std::wstring_view eventType, std::wstring_view body) {
    try {
        TLogThread::Start(std::make_unique<TLogThread>(BuildEventUrl(TOVARIN_TELEMETRY_HOST, eventType),
                                                       std::wstring(body)));
    } catch (...) {
        // Out of memory: the event is lost, the caller goes on.
    }
}

void TLogThread::Start(std::unique_ptr<TLogThread> thread) {
    // Detached: the handle is closed at once and the thread frees itself.
    UniqueHandle handle(CreateThread(nullptr, 0, ThreadMain, thread.get(), 0, nullptr));
    if (handle) thread.release();
}

DWORD WINAPI TLogThread::ThreadMain(void* self) {
    const std::unique_ptr<TLogThread> thread(static_cast<TLogThread*>(self));
    thread->Execute();
    return 0;
}

void TLogThread::Execute() const noexcept {
    try {
        Post(url_, Narrow(body_));
    } catch (...) {
        // A lost event is never reported.
    }
}

}  // namespace tovarin::telemetry
