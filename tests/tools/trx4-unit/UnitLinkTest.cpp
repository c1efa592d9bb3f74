#include "FileDescriptorDevice.h"
#include "FrameUnitLink.h"
#include "HostSession.h"
#include "PacketUnitLink.h"
#include "UnitResponder.h"

#include "protocol/Command.h"
#include "protocol/QUIPFrame.h"
#include "support/LoopbackServer.h"
#include "support/UnitWire.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <thread>

namespace {

using namespace std::chrono_literals;
using namespace unitwire;

// Both ends of a connection: the unit's link works on one, the test plays the
// host on the other with raw bytes.
struct Wire {
    Wire() {
        int ends[2];
        ::socketpair(AF_UNIX, SOCK_STREAM, 0, ends);
        unit = std::make_unique<FileDescriptorDevice>(FileDescriptor(ends[0]));
        host = std::make_unique<FileDescriptorDevice>(FileDescriptor(ends[1]));
    }
    void hostWrites(const Bytes& bytes) { host->write(bytes.data(), bytes.size()); }
    // What the unit sent back.
    Bytes sentBack() {
        Bytes bytes(65536);
        host->setTimeout(100);
        bytes.resize(host->read(bytes.data(), bytes.size()));
        return bytes;
    }

    std::unique_ptr<FileDescriptorDevice> unit;
    std::unique_ptr<FileDescriptorDevice> host;
};

// Paced, the unit takes in and sends out bytes no faster than the line
// carries them, and no slower on average however its waits overshoot.
TEST(FileDescriptorDevice, PacedBytesCrossAtTheLineRateEachWay) {
    Wire wire;
    wire.unit->paceAt(11520);
    wire.unit->setTimeout(5000);
    wire.host->setTimeout(5000);
    // 200 ms of the line; a buffer for each side, since both work at once.
    Bytes hostBytes(2304);
    Bytes unitBytes(2304);
    for (const bool unitReads : {true, false}) {
        const auto began = std::chrono::steady_clock::now();
        std::thread host([&] {
            unitReads ? wire.hostWrites(hostBytes)
                      : (void)wire.host->read(hostBytes.data(), hostBytes.size());
        });
        unitReads ? (void)wire.unit->read(unitBytes.data(), unitBytes.size())
                  : wire.unit->write(unitBytes.data(), unitBytes.size());
        host.join();
        const auto took = std::chrono::steady_clock::now() - began;
        EXPECT_GE(took, 196ms) << unitReads;
        EXPECT_LE(took, 250ms) << unitReads;
    }
}

// A host that has spoken stays, however quiet, until it leaves.
TEST(HostSession, KeepsAQuietHostThatHasSpoken) {
    UnitState state(UnitState::catalogueRanges());
    const UnitOptions options;
    UnitResponder responder(state, Scenario::defaultScenario(), options);
    Wire wire;
    PacketUnitLink link(*wire.unit, nullptr);
    HostSession session(link, responder, options, nullptr, std::chrono::steady_clock::now());
    session.dropIfSilentFor(100ms);
    wire.hostWrites(packet({PingRequest}));
    std::thread leaver([&wire] {
        std::this_thread::sleep_for(500ms);
        ::shutdown(wire.host->fd(), SHUT_RDWR);
    });
    EXPECT_EQ(session.run(), HostSession::End::HostLeft);
    leaver.join();
}

TEST(FrameUnitLink, AnswersTheHostsFramesAsTheHostExpects) {
    Wire wire;
    FrameUnitLink link(*wire.unit, nullptr, 0);
    const Bytes pingAndAck = join({dataFrame({PingRequest}), ack()});
    // Noise first, as on a line opened midway.
    wire.hostWrites({'Q', 'U', 'x'});
    wire.hostWrites(dataFrame({GetAll}));
    EXPECT_EQ(link.receive(200ms), Bytes{GetAll});
    EXPECT_EQ(wire.sentBack(), ack());
    wire.hostWrites(frame(QUIPFrame::Data, packet({GetAll}), true));
    EXPECT_FALSE(link.receive(200ms));
    EXPECT_EQ(wire.sentBack(), frame(QUIPFrame::CrcError));

    // A request that crosses the unit's own data frame is kept.
    wire.hostWrites(dataFrame({GetEventLog}));
    wire.hostWrites(ack());
    EXPECT_FALSE(link.send(PingRequestCommand()));
    EXPECT_EQ(link.receive(0ms), Bytes{GetEventLog});
    EXPECT_EQ(wire.sentBack(), pingAndAck);
    // A host that leaves a frame unacknowledged gets nothing unasked until it
    // speaks again.
    link.send(PingRequestCommand());
    EXPECT_FALSE(link.readyForUnsolicited());
    wire.hostWrites(frame(QUIPFrame::Filler));
    EXPECT_FALSE(link.receive(200ms));
    EXPECT_TRUE(link.readyForUnsolicited());
    EXPECT_EQ(wire.sentBack(), pingAndAck);

    // Not acknowledged: a stale acknowledgement would greet the next host.
    wire.hostWrites(frame(QUIPFrame::Disconnect));
    EXPECT_FALSE(link.receive(200ms));
    EXPECT_TRUE(link.hostGone());
    EXPECT_EQ(wire.sentBack(), Bytes{});
}

TEST(PacketUnitLink, GivesUpOnAHostThatStallsInALengthFieldSendsATooShortOneOrLeaves) {
    // No bytes at all: the host closes its end.
    for (const Bytes& bytes : {Bytes{0, 0}, Bytes{0, 0, 0, 3}, Bytes{}}) {
        Wire wire;
        PacketUnitLink link(*wire.unit, nullptr, 100ms);
        wire.hostWrites(bytes);
        if (bytes.empty()) {
            wire.host.reset();
        }
        EXPECT_TRUE(waitUntil([&] {
            EXPECT_FALSE(link.receive(20ms));
            return link.hostGone();
        })) << bytes.size()
            << " bytes";
    }
}

} // namespace
