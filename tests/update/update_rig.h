// One simulated drive behind either real transport, with virtual time, for the tests of the
// update engine.
//
// Pass-through: the real transport and the simulated-drive bus of the Linux layer (drive
// letter D). ASPI: the real transport and the real ASPI manager over the simulated bus
// (adapter 0, target 0). Time is virtual throughout: the platform clock, the waits of
// SleepMs (which move the clock on by their time-out) and the drive's own clock are one.
//
// At every command that leaves the transport the rig notes the pair (WorkerState,
// ChunkCounter); Seen() gives the distinct pairs in order, which is what a monitor that
// polls between commands sees.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "aspi/aspi_manager.h"
#include "platform/platform.h"
#include "platform/substitute/fake_clock.h"
#include "platform/substitute/fake_events.h"
#include "platform/substitute/recording_message_boxes.h"
#include "sim/description.h"
#include "sim/sim_drive.h"
#include "sim/simulated_drive_bus.h"

namespace update_test {

enum class Transport { PassThrough, Aspi };

inline std::ostream& operator<<(std::ostream& out, Transport transport) {
    return out << (transport == Transport::PassThrough ? "PassThrough" : "Aspi");
}

struct Progress {
    uint8_t state;
    uint32_t counter;
    bool operator==(const Progress&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Progress& progress);

// A power service that records the holds it gives out.
class RecordingPower final : public platform::Power {
public:
    bool CanReboot() override { return false; }
    bool Reboot() override { return false; }
    std::unique_ptr<platform::PowerHold> HoldSleepAndShutdown(const std::string& why) override;

    bool refuseHold = false;           // return null, as when the system gives no hold
    std::vector<std::string> reasons;  // one per hold asked for
    int held = 0;                      // holds alive now
};

// The drive every test starts from: vendor "ZORVANT ", product "DVDR   ZV-314K  ",
// revision 1.00, tray closed without a disc, 2 s of programming, no secondary image.
sim::DriveDescription DefaultDrive();

// A firmware image of `size` bytes that the default drive accepts, reporting `version`
// after the flash: a pattern with the identity block at 0x10000, or at 0 when the image is
// too small for that.
std::vector<uint8_t> MakeImage(uint32_t size, const std::string& version);

class UpdateRig {
public:
    // Resets the program-wide records: drive table entry 0 is the drive, selected, with the
    // transport chosen; Config is zero but for the image fields the test sets.
    UpdateRig(Transport transport, const sim::DriveDescription& drive);
    ~UpdateRig();
    UpdateRig(const UpdateRig&) = delete;
    UpdateRig& operator=(const UpdateRig&) = delete;

    sim::Drive& Drive() { return *drive_; }
    // Config.Image and FirmwareSize name a copy of `image` that the rig keeps.
    void UseImage(std::vector<uint8_t> image);
    // Config.EpsImage and EpsSize likewise.
    void UseSecondaryImage(std::vector<uint8_t> image);

    // Every command the drive received, as text (see the command builders below).
    std::vector<std::string> Commands() const;
    std::vector<Progress> Seen() const { return seen_; }
    // Notes the pair now (the rig does it at every command; tests at the end).
    void Sample();
    // The time-outs of the waits nobody signalled: the SleepMs calls, in order.
    std::vector<uint32_t> Sleeps() const;
    // Power holds alive at each command.
    const std::vector<int>& HoldsAtCommands() const { return holdsAtCommands_; }

    platform::substitute::FakeClock clock;
    platform::substitute::FakeEventFactory events;
    platform::substitute::RecordingMessageBoxes messages;
    RecordingPower power;

    // The ASPI manager's entry point while the rig stands (a request the drive answers late
    // completes on a request thread; this waits until it has).
    static uint32_t SendToManager(void* srb);

private:
    class SamplingBus;

    std::shared_ptr<sim::Drive> drive_;
    std::unique_ptr<sim::SimulatedDriveBus> simulatedBus_;
    std::unique_ptr<SamplingBus> bus_;
    std::unique_ptr<aspi::Manager> manager_;
    std::optional<platform::ScopedServices> services_;
    std::vector<uint8_t> image_;
    std::vector<uint8_t> secondaryImage_;
    std::vector<Progress> seen_;
    std::vector<int> holdsAtCommands_;
};

// The text Commands() gives for each command the engine sends (12-byte blocks: the default
// drive is ATAPI).
namespace command {
std::string TestUnitReady();
std::string OpenTray();
std::string WriteBuffer(uint8_t mode, uint8_t bufferId, uint32_t offset, uint32_t length);
std::string ReadBuffer(uint8_t bufferId, uint32_t offset, uint32_t length);
std::string ReadBoardRecord();
std::string WriteFixUp();
}  // namespace command

// Joins lists of commands.
std::vector<std::string> Concat(std::initializer_list<std::vector<std::string>> parts);

}  // namespace update_test
