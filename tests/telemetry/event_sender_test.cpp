#include <winsock2.h>  // before windows.h
#include <ws2tcpip.h>

#include "telemetry/event_sender.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "common/text.h"

namespace tovarin::telemetry {
namespace {

// A listening socket on 127.0.0.1 that reads requests and never answers.
class SilentServer {
public:
    SilentServer() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        listen(listener_, 8);
        int len = sizeof addr;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
    }
    ~SilentServer() {
        for (SOCKET s : accepted_) closesocket(s);
        closesocket(listener_);
        WSACleanup();
    }

    std::wstring Url(const std::string& target) const {
        return Widen("http://127.0.0.1:" + std::to_string(port_) + target);
    }

    // Accepts one connection and reads one whole request from it (headers and
    // Content-Length bytes of body); empty after the time-out.
    std::string AcceptRequest(int timeoutMs = 20000) {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(listener_, &set);
        timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
        if (select(0, &set, nullptr, nullptr, &tv) != 1) return {};
        SOCKET s = accept(listener_, nullptr, nullptr);
        accepted_.push_back(s);
        std::string data;
        char buf[4096];
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < deadline) {
            const std::size_t end = data.find("\r\n\r\n");
            if (end != std::string::npos) {
                const std::size_t at = data.find("Content-Length: ");
                const std::size_t length = at == std::string::npos ? 0 : std::stoul(data.substr(at + 16));
                if (data.size() >= end + 4 + length) return data;
            }
            const int n = recv(s, buf, sizeof buf, 0);
            if (n <= 0) break;
            data.append(buf, static_cast<std::size_t>(n));
        }
        return data;
    }

private:
    SOCKET listener_ = INVALID_SOCKET;
    std::vector<SOCKET> accepted_;
    unsigned short port_ = 0;
};

std::string Header(const std::string& request, const std::string& name) {
    const std::size_t at = request.find("\r\n" + name + ": ");
    if (at == std::string::npos) return "<none>";
    const std::size_t from = at + name.size() + 4;
    return request.substr(from, request.find("\r\n", from) - from);
}

TEST(TLogThread, PostsTheBodyAsUtf8WithBothContentHeaders) {
    SilentServer server;
    const std::string body = R"({"版本":"3.1.1","安装目录":"D:\\Program Files\\Tovarin"})";
    TLogThread::Start(std::make_unique<TLogThread>(server.Url("/saveLogNotEnc?id=-001&type=a+b%E5"), Widen(body)));
    const std::string request = server.AcceptRequest();
    ASSERT_FALSE(request.empty());
    EXPECT_EQ(request.substr(0, request.find("\r\n")), "POST /saveLogNotEnc?id=-001&type=a+b%E5 HTTP/1.1");
    EXPECT_EQ(Header(request, "Content-Type"), "application/json");
    EXPECT_EQ(Header(request, "Content-Encoding"), "UTF-8");
    EXPECT_EQ(Header(request, "Content-Length"), std::to_string(body.size()));
    EXPECT_EQ(request.substr(request.find("\r\n\r\n") + 4), body);
}

TEST(TLogThread, EventsRunSideBySideEachOnItsOwnConnection) {
    // The server answers neither request: the second still arrives while the
    // first waits, so neither the caller nor the other event is held up.
    SilentServer server;
    TLogThread::Start(std::make_unique<TLogThread>(server.Url("/first"), L"1"));
    TLogThread::Start(std::make_unique<TLogThread>(server.Url("/second"), L"2"));
    const std::string a = server.AcceptRequest();
    const std::string b = server.AcceptRequest();
    ASSERT_FALSE(a.empty());
    ASSERT_FALSE(b.empty());
    EXPECT_NE(a.substr(0, 12), b.substr(0, 12));
}

// A target that cannot be reached ends the request at once, without a wait
// for any of the system's time-outs.
TEST(TLogThread, UnreachableOrMalformedTargetsEndSilentlyAndSoon) {
    const std::pair<const wchar_t*, const wchar_t*> rows[] = {
        {L"http://127.0.0.1:1/x", L"{}"},  // refused
        {L"not a url", L"{}"},
        {L"", L""},
    };
    for (const auto& [url, body] : rows) {
        const auto start = std::chrono::steady_clock::now();
        TLogThread(url, body).Execute();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10)) << Narrow(url);
    }
}

}  // namespace
}  // namespace tovarin::telemetry
