#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "app/install_state.h"
#include "archive/test_files.h"
#include "core/install_thread.h"

namespace {

using namespace tovarin;
using tovarin::testing::Exists;
using tovarin::testing::MakeScratchDir;
using tovarin::testing::ReadAll;

// Runs synchronised calls on the worker itself and writes down what happens.
class FakeHost final : public core::InstallHost {
public:
    void Synchronize(const std::function<void()>& call) override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            syncThreads.push_back(::GetCurrentThreadId());
        }
        call();
        std::lock_guard<std::mutex> lock(mutex_);
        events.push_back(std::string("sync, installing=") + (state::Installing() ? "1" : "0"));
        if (!state::Installing() && finished) ::SetEvent(done_);
    }
    void QueueProgress(double fraction) override {
        std::lock_guard<std::mutex> lock(mutex_);
        fractions.push_back(fraction);
    }
    void FinishInstall(bool succeeded) override {
        std::lock_guard<std::mutex> lock(mutex_);
        finished = true;
        events.push_back(succeeded ? "finish(true)" : "finish(false)");
    }
    bool WaitDone() { return ::WaitForSingleObject(done_, 60000) == WAIT_OBJECT_0; }
    ~FakeHost() override { ::CloseHandle(done_); }

    std::vector<std::string> events;
    std::vector<double> fractions;
    std::vector<DWORD> syncThreads;
    bool finished = false;

private:
    std::mutex mutex_;
    HANDLE done_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
};

const std::vector<std::string> kSucceeded = {"sync, installing=1", "finish(true)", "sync, installing=1",
                                             "sync, installing=0"};
const std::vector<std::string> kFailed = {"sync, installing=1", "finish(false)", "sync, installing=1",
                                          "sync, installing=0"};

class WorkerTest : public ::testing::Test {
protected:
    void SetUp() override {
        state::ResetForTesting();
        temp_ = MakeScratchDir("worker-temp");
        install_ = MakeScratchDir("worker-install") + "\\Tovarin";
        state::SetTempPaths(temp_ + "/tovarin.7z", temp_ + "/7z.dll");
        state::SetInstallDir(install_);
    }
    void Run() {
        core::TInstallThread(host_, [this](const std::string& why) {
            ++failureEvents_;
            failure_ = why;
        }).Execute();
    }

    FakeHost host_;
    std::atomic<int> failureEvents_{0};
    std::string failure_;
    std::string temp_;
    std::string install_;
};

#if !defined(TOVARIN_UNSAFE_PAYLOAD) && !defined(TOVARIN_DAMAGED_PAYLOAD)

TEST_F(WorkerTest, InstallsWritesBothTemporaryFilesAndReportsSuccessOnce) {
    Run();
    EXPECT_EQ(host_.events, kSucceeded);
    EXPECT_EQ(failureEvents_, 0);
    EXPECT_TRUE(state::ExtractSucceeded());
    EXPECT_FALSE(state::Installing());
    EXPECT_TRUE(Exists(install_ + "\\Tovarin.exe"));
    EXPECT_EQ(ReadAll(temp_ + "/tovarin.7z"), ReadAll(TOVARIN_TEST_PAYLOAD_PACKAGE)) << "left behind";
    EXPECT_EQ(ReadAll(temp_ + "/7z.dll"), ReadAll(TOVARIN_TEST_LIBRARY)) << "left behind";
    ASSERT_FALSE(host_.fractions.empty());
    EXPECT_DOUBLE_EQ(host_.fractions.back(), 1.0);

    // Again over the first install: both temporary files and the product replaced.
    host_.events.clear();
    Run();
    EXPECT_EQ(host_.events, kSucceeded);
    EXPECT_EQ(failureEvents_, 0);
}

TEST_F(WorkerTest, AnUnwritableTempFolderFailsWithOneEventInsteadOfHanging) {
    state::SetTempPaths(temp_ + "\\no-such-folder/tovarin.7z", temp_ + "\\no-such-folder/7z.dll");
    Run();
    EXPECT_EQ(host_.events, kFailed);
    EXPECT_EQ(failureEvents_, 1);
    EXPECT_FALSE(state::ExtractSucceeded());
    EXPECT_FALSE(Exists(install_));
    EXPECT_THAT(failure_, ::testing::HasSubstr("no-such-folder/tovarin.7z"));
}

TEST_F(WorkerTest, AFileInTheWayFailsWithOneEventAndKeepsTheTemporaryFiles) {
    ::CreateDirectoryW(Widen(install_).c_str(), nullptr);
    HANDLE running = ::CreateFileW(Widen(install_ + "\\Tovarin.exe").c_str(), GENERIC_READ, 0, nullptr, CREATE_ALWAYS,
                                   0, nullptr);
    ASSERT_NE(running, INVALID_HANDLE_VALUE);
    Run();
    ::CloseHandle(running);
    EXPECT_EQ(host_.events, kFailed);
    EXPECT_EQ(failureEvents_, 1);
    EXPECT_THAT(failure_, ::testing::HasSubstr("0x80070020")) << "the binding's message: sharing violation";
    EXPECT_EQ(ReadAll(temp_ + "/tovarin.7z"), ReadAll(TOVARIN_TEST_PAYLOAD_PACKAGE)) << "whole, though written aside";
    EXPECT_EQ(ReadAll(temp_ + "/7z.dll"), ReadAll(TOVARIN_TEST_LIBRARY));
}

TEST_F(WorkerTest, RunsOnAThreadOfItsOwn) {
    core::StartInstallThread(host_, [this](const std::string&) { ++failureEvents_; });
    ASSERT_TRUE(host_.WaitDone()) << "the worker never finished";
    EXPECT_EQ(host_.events, kSucceeded);
    EXPECT_EQ(failureEvents_, 0);
    for (DWORD thread : host_.syncThreads) EXPECT_NE(thread, ::GetCurrentThreadId());
}

#elif defined(TOVARIN_DAMAGED_PAYLOAD)

// The package is read from the image while its copy is written: the copy is
// still whole and left behind when the package turns out to be damaged.
TEST_F(WorkerTest, ADamagedPackageFailsWithOneEventAndLeavesBothTemporaryFiles) {
    Run();
    EXPECT_EQ(host_.events, kFailed);
    EXPECT_EQ(failureEvents_, 1);
    EXPECT_FALSE(state::ExtractSucceeded());
    EXPECT_EQ(ReadAll(temp_ + "/tovarin.7z"), ReadAll(TOVARIN_DAMAGED_PAYLOAD));
    EXPECT_EQ(ReadAll(temp_ + "/7z.dll"), ReadAll(TOVARIN_TEST_LIBRARY));
}

#else

TEST_F(WorkerTest, APackageWithAnItemOutsideTheTargetFailsWithOneEvent) {
    Run();
    EXPECT_EQ(host_.events, kFailed);
    EXPECT_EQ(failureEvents_, 1);
    EXPECT_TRUE(Exists(install_ + "\\a_ok.txt"));
    EXPECT_THAT(failure_, ::testing::HasSubstr("0x800700A1")) << "the binding's message: bad path name";
    const std::string parent = install_.substr(0, install_.rfind('\\'));
    EXPECT_FALSE(Exists(parent + "\\evil.txt"));
}

#endif

}  // namespace
