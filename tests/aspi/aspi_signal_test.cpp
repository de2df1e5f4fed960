// Signals while the program waits for a slow command through the ASPI manager: the caller
// waits on its event as the program's transport does, and a signal (with an SA_RESTART
// handler and without) arrives again and again meanwhile. The command must reach the drive
// once and complete as it did. The simulated drive answers inside the process, so this
// covers the waits of the program and the manager, not the kernel's; the kernel's side is
// tested with a stand-in device (tests/platform/sg_io_signal_test.cpp) and under a real
// kernel.
#include <atomic>
#include <chrono>
#include <csignal>
#include <memory>
#include <thread>
#include <vector>

#include <pthread.h>

#include <gtest/gtest.h>

#include "aspi/aspi_interface.h"
#include "aspi/aspi_manager.h"
#include "aspi/simulated_bus.h"
#include "platform/platform.h"
#include "sim/description.h"
#include "sim/sim_drive.h"
#include "tests/support/counted_signal.h"

namespace {

TEST(AspiSignalTest, ASignalDuringTheFinalChunkNeitherRepeatsNorFailsIt) {
    for (const int flags : {0, SA_RESTART}) {
        SCOPED_TRACE(flags == 0 ? "handler without SA_RESTART" : "handler with SA_RESTART");
        const test_support::CountedSignal handler(flags);

        sim::DriveDescription description;
        description.checkIdentity = false;
        description.finalChunkDelayMs = 300;
        const auto drive = std::make_shared<sim::Drive>(description);
        aspi::Manager manager(
            std::make_unique<aspi::SimulatedBus>(std::vector<std::shared_ptr<sim::Drive>>{drive}));
        const auto event = platform::Platform().Events->CreateAutoResetEvent();
        ASSERT_NE(event, nullptr);

        // The whole image in one final chunk: WRITE BUFFER, download microcode and save.
        uint8_t image[16] = {1, 2, 3, 4};
        SRB_ExecSCSICmd request{};
        request.SRB_Cmd = SC_EXEC_SCSI_CMD;
        request.SRB_Flags = SRB_DIR_OUT | SRB_EVENT_NOTIFY;
        request.SRB_BufLen = sizeof image;
        request.SRB_BufPointer = image;
        request.SRB_SenseLen = 14;
        request.SRB_CDBLen = 10;
        const uint8_t cdb[10] = {0x3B, 0x05, 0, 0, 0, 0, 0, 0, sizeof image, 0};
        std::copy(std::begin(cdb), std::end(cdb), request.CDBByte);
        request.SRB_PostProc = reinterpret_cast<void*>(event->NativeHandle());

        std::atomic<bool> done{false};
        const pthread_t waiter = pthread_self();
        std::thread signaller([&done, waiter] {
            while (!done.load()) {
                pthread_kill(waiter, SIGUSR1);
                std::this_thread::sleep_for(std::chrono::milliseconds(15));
            }
        });
        ASSERT_EQ(manager.Send(&request), SS_PENDING);
        const bool signalled = event->Wait(10000);
        done = true;
        signaller.join();

        EXPECT_TRUE(signalled);
        EXPECT_GT(handler.Taken(), 0);
        EXPECT_EQ(request.SRB_Status, SS_COMP);
        size_t writeBuffers = 0;
        for (const sim::LoggedCommand& command : drive->Log())
            if (command.cdb[0] == 0x3B) ++writeBuffers;
        EXPECT_EQ(writeBuffers, 1u);
    }
}

}  // namespace
