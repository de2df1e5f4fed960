// A signal during a slow command never sends the command twice and never turns the
// command's answer into a failure.
//
// The generic node's write()/read() protocol is played by a stand-in device at the other
// end of a socket pair: it takes each request record written to it, signals the thread that
// waits for the answer while it "works", then writes the answer record back. This drives the
// real sending code with real signals (with and without SA_RESTART), but not a kernel SCSI
// stack; the block node's path (SG_IO with signals blocked) needs a real device and is
// exercised by the real-kernel check.
#include <chrono>
#include <csignal>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/linux/sg_io_request.h"
#include "tests/support/counted_signal.h"

namespace {

using platform::linux_os::SgCommand;
using platform::linux_os::SgNode;
using platform::linux_os::SgOutcome;

// The stand-in device: counts the requests that reach it and answers the first after a
// while, signalling the waiting thread meanwhile.
struct StandInDevice {
    int end = -1;
    pthread_t waiter{};
    int requests = 0;

    void Run() {
        sg_io_hdr_t request{};
        while (read(end, &request, sizeof request) == static_cast<ssize_t>(sizeof request)) {
            if (++requests > 1) continue;
            for (int i = 0; i < 5; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                pthread_kill(waiter, SIGUSR1);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            // CHECK CONDITION with sense data, as a drive answers a refused chunk.
            const uint8_t sense[] = {0x70, 0, 0x05, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x24, 0};
            std::memcpy(request.sbp, sense, sizeof sense);
            request.status = 0x02;
            request.host_status = 0;
            request.driver_status = 0x08;
            request.sb_len_wr = sizeof sense;
            request.resid = 0;
            if (write(end, &request, sizeof request) != static_cast<ssize_t>(sizeof request))
                return;
        }
    }
};

TEST(SgIoSignalTest, AnInterruptedWaitCollectsTheOneAnswer) {
    for (const int flags : {0, SA_RESTART}) {
        SCOPED_TRACE(flags == 0 ? "handler without SA_RESTART" : "handler with SA_RESTART");
        const test_support::CountedSignal handler(flags);
        int ends[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends), 0);
        // The product opens its nodes non-blocking.
        fcntl(ends[0], F_SETFL, fcntl(ends[0], F_GETFL) | O_NONBLOCK);

        StandInDevice device;
        device.end = ends[1];
        device.waiter = pthread_self();
        std::thread deviceThread([&device] { device.Run(); });

        const uint8_t cdb[10] = {0x3B, 0x05, 0, 0, 0, 0, 0, 0, 0x20, 0};
        uint8_t data[8192] = {};
        uint8_t sense[32] = {};
        SgCommand command;
        command.cdb = cdb;
        command.cdbLength = sizeof cdb;
        command.direction = SG_DXFER_TO_DEV;
        command.data = data;
        command.length = sizeof data;
        command.sense = sense;
        command.senseRoom = sizeof sense;
        command.timeoutSeconds = 600;
        const SgOutcome outcome =
            platform::linux_os::SendSgIoTo(ends[0], SgNode::GenericWritable, command);

        // Closing our end lets the device see whether anything else was sent.
        close(ends[0]);
        deviceThread.join();
        close(ends[1]);

        EXPECT_GT(handler.Taken(), 0) << "no signal reached the waiting thread";
        EXPECT_EQ(device.requests, 1);
        EXPECT_EQ(outcome.error, 0);
        EXPECT_EQ(outcome.scsiStatus, 0x02);
        EXPECT_EQ(outcome.driverStatus, 0x08);
        EXPECT_EQ(outcome.transferred, sizeof data);
        EXPECT_EQ(outcome.senseLength, 14);
        EXPECT_EQ(sense[12], 0x24);
    }
}

// The ioctl path blocks every signal only for its own length: the calling thread (the GUI
// thread, say) gets its mask back. (A descriptor that is no SCSI node refuses SG_IO at once.)
TEST(SgIoSignalTest, TheIoctlPathRestoresTheSignalMask) {
    sigset_t before;
    sigset_t after;
    pthread_sigmask(SIG_SETMASK, nullptr, &before);
    int ends[2];
    ASSERT_EQ(pipe2(ends, O_CLOEXEC), 0);
    const uint8_t cdb[6] = {0x00};
    SgCommand command;
    command.cdb = cdb;
    command.cdbLength = sizeof cdb;
    const SgOutcome outcome = platform::linux_os::SendSgIo(ends[0], command);
    EXPECT_NE(outcome.error, 0);
    pthread_sigmask(SIG_SETMASK, nullptr, &after);
    for (int signal = 1; signal < NSIG; ++signal)
        EXPECT_EQ(sigismember(&before, signal), sigismember(&after, signal)) << signal;
    close(ends[0]);
    close(ends[1]);
}

}  // namespace
