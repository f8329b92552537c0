// The poll worker against the simulated controller, posting to a real
// dialog window whose message loop counts what arrives.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "device/poll_worker.h"
#include "serial/com_link.h"
#include "tests/win/dialog_driver.h"
#include "tests/win/sim_client.h"
#include "tests/win/test_clock.h"

namespace {

constexpr int kPort = 17;

class PollWorkerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim_.Connect()) << sim_.LastReply();
        ASSERT_TRUE(sim_.Attach(kPort)) << sim_.LastReply();
        driver_ = std::make_unique<DialogDriver>();
        ASSERT_NE(nullptr, driver_->Window());
        // The link as a successful connect leaves it.
        g_portNumber = kPort;
        ASSERT_TRUE(theComLink.Open());
        g_linkReady = 1;
        ASSERT_TRUE(sim_.WaitOpened(true, 5000));
    }
    void TearDown() override {
        Stop();
        theComLink.Close();
        g_linkReady = 0;
        driver_.reset();
    }

    TestDialog& Dlg() { return driver_->Dialog(); }
    void Start() {
        thread_ = AfxBeginThread(PollThreadProc, &Dlg(), THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
        ASSERT_NE(nullptr, thread_);
        thread_->m_bAutoDelete = FALSE;
        ::ResumeThread(thread_->m_hThread);
    }
    // The stop protocol of a disconnect: request, join, delete. Returns the join time.
    long long Stop() {
        if (!thread_)
            return 0;
        Dlg().m_stopPolling = 1;
        const Stopwatch watch;
        ::WaitForSingleObject(thread_->m_hThread, INFINITE);
        ::GetExitCodeThread(thread_->m_hThread, &exitCode_);
        delete thread_;
        thread_ = nullptr;
        Dlg().m_stopPolling = 0;
        return watch.Ms();
    }
    bool Ended(int timeoutMs) {
        return ::WaitForSingleObject(thread_->m_hThread, static_cast<DWORD>(timeoutMs)) == WAIT_OBJECT_0;
    }
    std::string Flags() { return driver_->Flags(); }

    SimController sim_;
    std::unique_ptr<DialogDriver> driver_;
    CWinThread* thread_ = nullptr;
    DWORD exitCode_ = STILL_ACTIVE;
};

TEST(PollWorkerParamTest, NullParameterEndsAtOnceWithOne) { EXPECT_EQ(1u, PollThreadProc(nullptr)); }

TEST_F(PollWorkerTest, StopBeforeStartSendsNothing) {
    Dlg().m_stopPolling = 1;
    // Held by the test: a worker that tried to take it would hang here.
    CSingleLock portLock(&Dlg().m_portLock, true);
    Start();
    ASSERT_TRUE(Ended(3000));
    portLock.Unlock();
    Stop();
    EXPECT_EQ(0u, exitCode_);
    EXPECT_EQ("", sim_.Received());
}

TEST_F(PollWorkerTest, SilentControllerGetsOnePollAndOneLostMessage) {
    ASSERT_TRUE(sim_.Silent());
    const ULONGLONG started = ::GetTickCount64();
    Start();
    ASSERT_TRUE(Ended(10000));
    ASSERT_TRUE(DialogDriver::WaitUntil([this] { return Dlg().m_connectionLosts == 1; }, 3000));
    const long long lostAfter = static_cast<long long>(Dlg().m_lastLostAt - started);
    EXPECT_GE(lostAfter, 1900);
    EXPECT_LT(lostAfter, 8000);
    ::Sleep(300);
    EXPECT_EQ(1, Dlg().m_connectionLosts);
    EXPECT_EQ("?swin\r", sim_.Received()) << "one poll, nothing after it";
    Stop();
    EXPECT_EQ(0u, exitCode_);
    EXPECT_EQ(0, Dlg().m_panelRefreshes) << "no flag changed";
}

TEST_F(PollWorkerTest, IdenticalRepliesRepaintOnceAndSeveralChangesOnce) {
    ASSERT_TRUE(sim_.SetSwitches("00000000"));
    const int before = Dlg().m_panelRefreshes;
    Start();
    ASSERT_TRUE(DialogDriver::WaitUntil([this] { return sim_.Count("swin") >= 4; }, 5000));
    EXPECT_EQ(before, Dlg().m_panelRefreshes) << "all-clear answers change nothing";

    ASSERT_TRUE(sim_.SetSwitches("11110011"));
    ASSERT_TRUE(DialogDriver::WaitUntil([this] { return Flags() == "11110011"; }, 3000));
    const int polls = sim_.Count("swin");
    ASSERT_TRUE(DialogDriver::WaitUntil([&] { return sim_.Count("swin") >= polls + 4; }, 5000));
    EXPECT_EQ(before + 1, Dlg().m_panelRefreshes) << "one repaint for six flags, none for repeats";
    EXPECT_EQ(0, Dlg().m_connectionLosts);
}

TEST_F(PollWorkerTest, StopDuringAnOrdinaryCycleJoinsAfterItsPause) {
    Start();
    ASSERT_TRUE(DialogDriver::WaitUntil([this] { return sim_.Count("swin") >= 3; }, 5000));
    const long long joinMs = Stop();
    EXPECT_LT(joinMs, 1500) << "one exchange and a 100 ms pause at most";
    EXPECT_EQ(0u, exitCode_);
    ::Sleep(200);
    EXPECT_EQ(0, Dlg().m_connectionLosts);
}

TEST_F(PollWorkerTest, StopDuringARunningOutWaitStillEndsTheWorker) {
    ASSERT_TRUE(sim_.Silent());
    Start();
    ASSERT_TRUE(DialogDriver::WaitUntil([this] { return sim_.Count("swin") == 1; }, 3000));
    const long long joinMs = Stop();
    EXPECT_LT(joinMs, 6000);
    EXPECT_EQ(0u, exitCode_);
    // The worker still reported the silence; with no connection up the
    // dialog drops it without a box.
    ASSERT_TRUE(DialogDriver::WaitUntil([this] { return Dlg().m_connectionLosts == 1; }, 3000));
    driver_->Read<int>([] { return 0; });
    EXPECT_EQ(nullptr, FindThreadDialog(driver_->UiThreadId(), driver_->Window()));
}

TEST_F(PollWorkerTest, LinkNotReadyMeansIdleCycles) {
    g_linkReady = 0;
    Start();
    ::Sleep(500);
    EXPECT_EQ("", sim_.Received());
    EXPECT_EQ(0, Dlg().m_panelRefreshes);
    EXPECT_LT(Stop(), 1500);
}

}  // namespace
