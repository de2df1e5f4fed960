// Time per chunk of a full update (2 MiB image, 8 KiB chunks, a simulated drive that
// programs at once) through the whole stack of each transport, and of a bare loop that
// hands the same chunks straight to the drive bus. Prints both and their ratio.
//
//   zvfirm-update-bench [rounds]     (default 30; the median round counts)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "aspi/aspi_manager.h"
#include "aspi/simulated_bus.h"
#include "config/program_values.h"
#include "config/update_config.h"
#include "platform/platform.h"
#include "scsi/aspi_library.h"
#include "scsi/drive_entry.h"
#include "scsi/exec_scsi_command.h"
#include "sim/description.h"
#include "sim/sim_drive.h"
#include "sim/simulated_drive_bus.h"
#include "update/update_worker.h"
#include "update/worker_state.h"

namespace {

constexpr uint32_t kImageSize = 2u * 1024 * 1024;
constexpr uint32_t kChunkSize = 8u * 1024;
constexpr uint32_t kChunks = kImageSize / kChunkSize;

using Clock = std::chrono::steady_clock;

// The machine's sleep is not held: a benchmark writes no real flash.
class NoPower final : public platform::Power {
public:
    bool CanReboot() override { return false; }
    bool Reboot() override { return false; }
    std::unique_ptr<platform::PowerHold> HoldSleepAndShutdown(const std::string&) override {
        return std::make_unique<platform::PowerHold>();
    }
};

std::vector<uint8_t> MakeImage() {
    std::vector<uint8_t> image(kImageSize);
    for (uint32_t i = 0; i < kImageSize; ++i) image[i] = static_cast<uint8_t>(i * 7 + i / 251);
    const std::string identity = "ZORVANT DVDR   ZV-314K  2.00";
    std::memcpy(image.data() + 0x10000, identity.data(), identity.size());
    return image;
}

std::shared_ptr<sim::Drive> MakeDrive() {
    sim::DriveDescription drive;
    drive.vendor = "ZORVANT ";
    drive.product = "DVDR   ZV-314K  ";
    drive.flashMs = 0;
    return std::make_shared<sim::Drive>(drive);
}

void FillWriteBuffer(uint8_t* cdb, uint32_t k) {
    const uint32_t offset = k * kChunkSize;
    std::memset(cdb, 0, 12);
    cdb[0] = 0x3B;
    cdb[1] = k + 1 == kChunks ? 5 : 4;
    cdb[3] = static_cast<uint8_t>(offset >> 16);
    cdb[4] = static_cast<uint8_t>(offset >> 8);
    cdb[5] = static_cast<uint8_t>(offset);
    cdb[6] = static_cast<uint8_t>(kChunkSize >> 16);
    cdb[7] = static_cast<uint8_t>(kChunkSize >> 8);
    cdb[8] = static_cast<uint8_t>(kChunkSize);
}

// Nanoseconds per chunk of one round.
template <typename Round>
double TimePerChunk(Round round) {
    const Clock::time_point start = Clock::now();
    round();
    return std::chrono::duration<double, std::nano>(Clock::now() - start).count() / kChunks;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "zvfirm-update-bench: %s\n", what);
    std::exit(1);
}

void WholeUpdate() {
    ChunkCounter.store(1);
    WorkerState.store(1);
    CZVFUpdate().Run();
    if (WorkerState.load() != kWorkerDone) Fail("the update failed");
}

aspi::Manager* manager = nullptr;
uint32_t SendToManager(void* srb) { return manager->Send(srb); }

struct Figures {
    double whole;
    double bare;
};

// Rounds of the whole update and of the bare loop alternate, so that a change in the
// machine's load falls on both; round 0 only warms up.
template <typename BareLoop>
Figures Measure(int rounds, BareLoop bareLoop) {
    std::vector<double> whole, bare;
    for (int round = 0; round <= rounds; ++round) {
        const double wholeTime = TimePerChunk(WholeUpdate);
        const double bareTime = TimePerChunk(bareLoop);
        if (round == 0) continue;
        whole.push_back(wholeTime);
        bare.push_back(bareTime);
    }
    return {Median(whole), Median(bare)};
}

Figures MeasurePassThrough(int rounds, const std::vector<uint8_t>& image) {
    const std::shared_ptr<sim::Drive> drive = MakeDrive();
    sim::SimulatedDriveBus bus({drive});
    platform::Services services = platform::Platform();
    services.Drives = &bus;
    platform::ScopedServices scoped(services);
    UsePassThrough = 1;
    std::strcpy(DriveTable[0].DriveLetter, "D");

    return Measure(rounds, [&] {
        const platform::DriveHandle handle = bus.Open('D', true);
        platform::PassThroughBlock block{};
        for (uint32_t k = 0; k < kChunks; ++k) {
            block.Sptd.CdbLength = 12;
            block.Sptd.DataIn = platform::kDataOut;
            block.Sptd.DataTransferLength = kChunkSize;
            block.Sptd.DataBuffer = const_cast<uint8_t*>(image.data()) + k * kChunkSize;
            FillWriteBuffer(block.Sptd.Cdb, k);
            uint32_t error = 0;
            if (!bus.Send(handle, block, &error) || block.Sptd.ScsiStatus != 0)
                Fail("the bare pass-through loop failed");
        }
        bus.Close(handle);
    });
}

Figures MeasureAspi(int rounds, const std::vector<uint8_t>& image) {
    const std::shared_ptr<sim::Drive> drive = MakeDrive();
    aspi::Manager aspiManager(
        std::make_unique<aspi::SimulatedBus>(std::vector<std::shared_ptr<sim::Drive>>{drive}));
    manager = &aspiManager;
    TheAspiLibrary.SendCommand = &SendToManager;
    aspi::SimulatedBus bareBus({drive});
    UsePassThrough = 0;

    const Figures figures = Measure(rounds, [&] {
        uint8_t cdb[12];
        for (uint32_t k = 0; k < kChunks; ++k) {
            FillWriteBuffer(cdb, k);
            const aspi::DeviceOutcome outcome =
                bareBus.Execute(0, 0, 0, cdb, 12, aspi::DataDirection::Out,
                                const_cast<uint8_t*>(image.data()) + k * kChunkSize, kChunkSize);
            if (outcome.error != 0 || outcome.scsiStatus != 0)
                Fail("the bare ASPI bus loop failed");
        }
    });
    TheAspiLibrary = AspiLibrary{};
    manager = nullptr;
    return figures;
}

void Print(const char* transport, const Figures& figures) {
    std::printf("%-13s whole stack %8.2f us/chunk   bare bus %8.2f us/chunk   ratio %5.2f\n",
                transport, figures.whole / 1000, figures.bare / 1000, figures.whole / figures.bare);
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    const std::vector<uint8_t> image = MakeImage();

    NoPower power;
    platform::Services services = platform::Platform();
    services.PowerManagement = &power;
    platform::ScopedServices scoped(services);

    std::memset(&Config, 0, sizeof Config);
    std::memset(DriveTable, 0, sizeof DriveTable);
    Config.Image = const_cast<uint8_t*>(image.data());
    Config.FirmwareSize = kImageSize;
    Config.BufferSize = kChunkSize;
    Config.WaitSeconds = 0;  // the simulated drive programs at once
    DriveTable[0].Atapi = 1;
    SelectedDrive = 0;

    std::printf("%u chunks of %u bytes, median of %d rounds\n", kChunks, kChunkSize, rounds);
    Print("pass-through", MeasurePassThrough(rounds, image));
    Print("ASPI", MeasureAspi(rounds, image));
    return 0;
}
