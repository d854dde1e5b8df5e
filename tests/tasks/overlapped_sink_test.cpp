// The sink that sends behind its caller: messages arrive in order and whole although the caller
// reuses its buffer at once, nothing is sent after a message fails and the failure reaches the
// caller, and an abort or the end of the sink waits for what is on its way without hanging.
#include "overlapped_sink.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Records every call in order. failAt: the 1-based message that fails with `failure`. A gated
// message waits in Send until the test opens the gate.
class ScriptedSink : public IsoImageSink {
public:
    int Start(const NasCDTable&, NasMirrorInfo&) override {
        Log("start");
        return 0;
    }
    int Send(const std::uint8_t* data, std::size_t length) override {
        std::unique_lock lock(mutex_);
        messages.emplace_back(data, data + length);
        calls.push_back("send");
        const std::size_t number = messages.size();
        changed_.notify_all();
        changed_.wait(lock, [&] { return number != gateAt || open_; });
        return number == failAt ? failure : 0;
    }
    int Complete() override {
        Log("complete");
        return 0;
    }
    int Abort(int reason) override {
        Log("abort " + std::to_string(reason));
        return 0;
    }

    // Waits until the sink holds count messages (a bounded wait on the event, not a measure).
    bool WaitForMessages(std::size_t count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(20),
                                 [&] { return messages.size() >= count; });
    }
    void OpenGate() {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }

    std::size_t failAt = 0;
    int failure = -1;
    std::size_t gateAt = 0;
    std::vector<Bytes> messages;
    std::vector<std::string> calls;

private:
    void Log(std::string call) {
        std::lock_guard lock(mutex_);
        calls.push_back(std::move(call));
    }
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
};

Bytes Message(std::size_t index) {
    Bytes m(1 + index * 977 % 32768);
    for (std::size_t i = 0; i < m.size(); ++i)
        m[i] = static_cast<std::uint8_t>(index * 31 + i);
    return m;
}

TEST(OverlappedSink, MessagesArriveInOrderAndWholeWhileTheCallerReusesItsBuffer) {
    ScriptedSink inner;
    {
        OverlappedSink sink(inner);
        NasCDTable table{};
        NasMirrorInfo request{};
        ASSERT_EQ(sink.Start(table, request), 0);
        Bytes buffer;
        for (std::size_t i = 0; i < 200; ++i) {
            buffer = Message(i);
            ASSERT_EQ(sink.Send(buffer.data(), buffer.size()), 0);
            std::fill(buffer.begin(), buffer.end(), 0xEE); // the next read lands here at once
        }
        EXPECT_EQ(sink.Drain(), 0);
        EXPECT_EQ(sink.Complete(), 0);
    }
    ASSERT_EQ(inner.messages.size(), 200u);
    for (std::size_t i = 0; i < inner.messages.size(); ++i)
        ASSERT_EQ(inner.messages[i], Message(i)) << "message " << i;
    EXPECT_EQ(inner.calls.front(), "start");
    EXPECT_EQ(inner.calls.back(), "complete");
}

TEST(OverlappedSink, AFailedMessageEndsTheSendingAndItsResultReachesTheCaller) {
    ScriptedSink inner;
    inner.failAt = 3;
    inner.failure = 14;
    OverlappedSink sink(inner);
    const Bytes m = Message(1);
    int result = 0;
    std::size_t handedOver = 0;
    while (result == 0 && handedOver < 100) {
        result = sink.Send(m.data(), m.size());
        ++handedOver;
    }
    EXPECT_EQ(result, 14) << "the failure never reached the caller";
    EXPECT_EQ(sink.Drain(), 14);
    EXPECT_EQ(sink.Send(m.data(), m.size()), 14);
    EXPECT_EQ(sink.Complete(), 14); // a failed session is not completed
    EXPECT_EQ(sink.Abort(4097), 0);
    EXPECT_EQ(inner.messages.size(), 3u) << "a message after the failed one was sent";
    EXPECT_EQ(inner.calls, (std::vector<std::string>{"send", "send", "send", "abort 4097"}));
}

TEST(OverlappedSink, AnAbortWaitsForTheMessagesOnTheirWayAndGoesLast) {
    ScriptedSink inner;
    inner.gateAt = 1; // the unit holds the first message's answer back
    OverlappedSink sink(inner);
    const Bytes m = Message(2);
    ASSERT_EQ(sink.Send(m.data(), m.size()), 0);
    ASSERT_TRUE(inner.WaitForMessages(1));
    ASSERT_EQ(sink.Send(m.data(), m.size()), 0); // queued behind the one in flight
    std::thread unit([&] { inner.OpenGate(); });
    EXPECT_EQ(sink.Abort(4096), 0);
    unit.join();
    EXPECT_EQ(inner.calls, (std::vector<std::string>{"send", "send", "abort 4096"}));
}

TEST(OverlappedSink, EndingTheSinkSendsWhatIsQueuedAndStopsItsThread) {
    ScriptedSink inner;
    inner.gateAt = 1;
    {
        OverlappedSink sink(inner);
        const Bytes m = Message(3);
        ASSERT_EQ(sink.Send(m.data(), m.size()), 0);
        ASSERT_TRUE(inner.WaitForMessages(1));
        ASSERT_EQ(sink.Send(m.data(), m.size()), 0);
        inner.OpenGate();
    }
    EXPECT_EQ(inner.messages.size(), 2u);
}

} // namespace
