#include "telemetry/query_encoding.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "common/text.h"
#include "telemetry/event_sender.h"

namespace tovarin::telemetry {
namespace {

TEST(EncodeQueryValue, EncodesEveryEventType) {
    const struct {
        const char* type;
        const char* encoded;
    } cases[] = {
        {"安装器-打开", "%E5%AE%89%E8%A3%85%E5%99%A8-%E6%89%93%E5%BC%80"},
        {"安装器-开始安装", "%E5%AE%89%E8%A3%85%E5%99%A8-%E5%BC%80%E5%A7%8B%E5%AE%89%E8%A3%85"},
        {"安装器-点击退出按钮",
         "%E5%AE%89%E8%A3%85%E5%99%A8-%E7%82%B9%E5%87%BB%E9%80%80%E5%87%BA%E6%8C%89%E9%92%AE"},
        {"安装器-出错", "%E5%AE%89%E8%A3%85%E5%99%A8-%E5%87%BA%E9%94%99"},
        {"安装器-安装成功", "%E5%AE%89%E8%A3%85%E5%99%A8-%E5%AE%89%E8%A3%85%E6%88%90%E5%8A%9F"},
        {"安装器-安装出错", "%E5%AE%89%E8%A3%85%E5%99%A8-%E5%AE%89%E8%A3%85%E5%87%BA%E9%94%99"},
    };
    for (const auto& c : cases) EXPECT_EQ(EncodeQueryValue(c.type), c.encoded) << c.type;
}

TEST(EncodeQueryValue, ReservedCharactersSpaceAndZeroByte) {
    EXPECT_EQ(EncodeQueryValue("/&=~+%"), "%2F%26%3D%7E%2B%25");
    EXPECT_EQ(EncodeQueryValue("a b  c"), "a+b++c");
    EXPECT_EQ(EncodeQueryValue(std::string("ab\0c d", 6)), "ab");
    EXPECT_EQ(EncodeQueryValue(std::string("\0x", 2)), "");
    EXPECT_EQ(EncodeQueryValue(""), "");
    EXPECT_EQ(EncodeQueryValue("\x7F\x80\xFF"), "%7F%80%FF");
}

TEST(EncodeQueryValue, CopiesExactlyTheSeventyTwoSafeCharacters) {
    const std::string safe =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789!$'()*-.@_";
    ASSERT_EQ(safe.size(), 72u);
    int copied = 0;
    for (int b = 1; b < 256; ++b) {
        const std::string in(1, static_cast<char>(b));
        const std::string out = EncodeQueryValue(in);
        if (safe.find(static_cast<char>(b)) != std::string::npos) {
            EXPECT_EQ(out, in) << b;
            ++copied;
        } else if (b == ' ') {
            EXPECT_EQ(out, "+");
        } else {
            char expected[4];
            std::snprintf(expected, sizeof expected, "%%%.2X", b);
            EXPECT_EQ(out, expected) << b;
        }
    }
    EXPECT_EQ(copied, 72);
}

TEST(BuildEventUrl, HostPathAndEncodedType) {
    EXPECT_EQ(BuildEventUrl("127.0.0.1:8080", L"安装器-出错"),
              L"http://127.0.0.1:8080/saveLogNotEnc?id=-001&type=%E5%AE%89%E8%A3%85%E5%99%A8-%E5%87%BA%E9%94%99");
    EXPECT_EQ(BuildEventUrl("log.example", L"a b"), L"http://log.example/saveLogNotEnc?id=-001&type=a+b");
}

}  // namespace
}  // namespace tovarin::telemetry
