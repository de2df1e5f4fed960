#include "tests/update/update_rig.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "aspi/simulated_bus.h"
#include "config/program_values.h"
#include "config/update_config.h"
#include "scsi/aspi_library.h"
#include "scsi/drive_entry.h"
#include "scsi/exec_scsi_command.h"
#include "update/worker_state.h"

namespace update_test {

namespace {

UpdateRig* current = nullptr;
aspi::Manager* currentManager = nullptr;

// The drive's clock is the platform's fake clock: programming ends when the waits of the
// worker have moved it far enough, and a late answer moves it on.
class FakeClockTime final : public sim::TimeSource {
public:
    explicit FakeClockTime(platform::substitute::FakeClock& clock) : clock_(clock) {}
    std::chrono::milliseconds Now() override { return std::chrono::milliseconds(clock_.NowMs()); }
    void Pass(std::chrono::milliseconds duration) override {
        clock_.Advance(static_cast<uint64_t>(duration.count()));
    }

private:
    platform::substitute::FakeClock& clock_;
};

class Hold final : public platform::PowerHold {
public:
    explicit Hold(int& held) : held_(held) { ++held_; }
    ~Hold() override { --held_; }

private:
    int& held_;
};

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string text;
    char byte[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(byte, sizeof byte, i == 0 ? "%02X" : " %02X", bytes[i]);
        text += byte;
    }
    return text;
}

// A command as text: the block in hexadecimal, then the data's direction and length when
// there is data (the transports differ in the direction they give an empty transfer).
std::string Describe(std::vector<uint8_t> cdb, sim::Direction direction, uint32_t length) {
    std::string text = Hex(cdb);
    if (length > 0)
        text += (direction == sim::Direction::In ? " in " : " out ") + std::to_string(length);
    return text;
}

std::string Block(std::initializer_list<uint8_t> bytes, sim::Direction direction, uint32_t length) {
    std::vector<uint8_t> cdb(bytes);
    cdb.resize(12, 0);
    return Describe(cdb, direction, length);
}

uint8_t Byte(uint32_t value, int shift) { return static_cast<uint8_t>(value >> shift); }

}  // namespace

std::ostream& operator<<(std::ostream& out, const Progress& progress) {
    return out << "{" << int(progress.state) << ", " << progress.counter << "}";
}

std::unique_ptr<platform::PowerHold> RecordingPower::HoldSleepAndShutdown(const std::string& why) {
    reasons.push_back(why);
    if (refuseHold) return nullptr;
    return std::make_unique<Hold>(held);
}

// Forwards to the simulated-drive bus and notes the progress pair at every request.
class UpdateRig::SamplingBus final : public platform::DriveBus {
public:
    SamplingBus(platform::DriveBus& inner, UpdateRig& rig) : inner_(inner), rig_(rig) {}
    uint32_t DriveType(char letter) override { return inner_.DriveType(letter); }
    platform::DriveHandle Open(char letter, bool readWrite) override {
        return inner_.Open(letter, readWrite);
    }
    bool QueryAlignmentMask(platform::DriveHandle handle, uint32_t* mask) override {
        return inner_.QueryAlignmentMask(handle, mask);
    }
    bool Send(platform::DriveHandle handle, platform::PassThroughBlock& block,
              uint32_t* systemError) override {
        rig_.Sample();
        rig_.holdsAtCommands_.push_back(rig_.power.held);
        return inner_.Send(handle, block, systemError);
    }
    void Close(platform::DriveHandle handle) override { inner_.Close(handle); }

private:
    platform::DriveBus& inner_;
    UpdateRig& rig_;
};

sim::DriveDescription DefaultDrive() {
    sim::DriveDescription drive;
    drive.vendor = "ZORVANT ";
    drive.product = "DVDR   ZV-314K  ";
    drive.revision = "1.00";
    drive.medium = sim::Medium::Empty;
    drive.flashMs = 2000;
    return drive;
}

std::vector<uint8_t> MakeImage(uint32_t size, const std::string& version) {
    std::vector<uint8_t> image(size);
    for (uint32_t i = 0; i < size; ++i) image[i] = static_cast<uint8_t>(i * 7 + i / 251);
    const uint32_t block = size >= 0x10000 + 28 ? 0x10000 : 0;
    const std::string identity = "ZORVANT DVDR   ZV-314K  " + version;
    if (size >= block + identity.size())
        std::memcpy(image.data() + block, identity.data(), identity.size());
    return image;
}

UpdateRig::UpdateRig(Transport transport, const sim::DriveDescription& description)
    : drive_(std::make_shared<sim::Drive>(description)) {
    drive_->UseTimeSource(std::make_shared<FakeClockTime>(clock));
    events.AdvanceClockOnTimeout(&clock);

    std::memset(DriveTable, 0, sizeof DriveTable);
    std::memset(&Config, 0, sizeof Config);
    DriveCount = 1;
    SelectedDrive = 0;
    Lcid = 1033;
    DriveEntry& entry = DriveTable[0];
    entry.Atapi = (description.inquiryByte3 >> 4) != 0 ? 1 : 0;
    std::memcpy(entry.Revision, description.revision.data(), 4);

    platform::Services services = platform::Platform();
    services.Time = &clock;
    services.Events = &events;
    services.Messages = &messages;
    services.PowerManagement = &power;
    if (transport == Transport::PassThrough) {
        UsePassThrough = 1;
        std::strcpy(entry.DriveLetter, "D");
        simulatedBus_ = std::make_unique<sim::SimulatedDriveBus>(
            std::vector<std::shared_ptr<sim::Drive>>{drive_});
        bus_ = std::make_unique<SamplingBus>(*simulatedBus_, *this);
        services.Drives = bus_.get();
    } else {
        UsePassThrough = 0;
        manager_ = std::make_unique<aspi::Manager>(
            std::make_unique<aspi::SimulatedBus>(std::vector<std::shared_ptr<sim::Drive>>{drive_}));
        currentManager = manager_.get();
        TheAspiLibrary.SendCommand = &UpdateRig::SendToManager;
    }
    services_.emplace(services);
    current = this;
    ChunkCounter.store(1);
    WorkerState.store(1);
}

UpdateRig::~UpdateRig() {
    current = nullptr;
    currentManager = nullptr;
    TheAspiLibrary = AspiLibrary{};
    services_.reset();
    drive_->UseTimeSource(nullptr);
    std::memset(&Config, 0, sizeof Config);
}

uint32_t UpdateRig::SendToManager(void* srb) {
    auto* request = static_cast<SRB_ExecSCSICmd*>(srb);
    const bool execute = request->SRB_Cmd == SC_EXEC_SCSI_CMD;
    if (execute) {
        current->Sample();
        current->holdsAtCommands_.push_back(current->power.held);
    }
    const uint32_t status = currentManager->Send(srb);
    if (execute && status == SS_PENDING) {
        // The fake events never block; wait here until the manager has completed the
        // request, so the transport finds it complete. Its signal alone does not tell: a
        // run's event may still hold the signal of an earlier request.
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::atomic_ref<uint8_t>(request->SRB_Status).load(std::memory_order_acquire) ==
                   SS_PENDING &&
               std::chrono::steady_clock::now() < limit)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return status;
}

void UpdateRig::UseImage(std::vector<uint8_t> image) {
    image_ = std::move(image);
    Config.Image = image_.empty() ? nullptr : image_.data();
    Config.FirmwareSize = static_cast<uint32_t>(image_.size());
}

void UpdateRig::UseSecondaryImage(std::vector<uint8_t> image) {
    secondaryImage_ = std::move(image);
    Config.EpsImage = secondaryImage_.empty() ? nullptr : secondaryImage_.data();
    Config.EpsSize = static_cast<uint32_t>(secondaryImage_.size());
}

std::vector<std::string> UpdateRig::Commands() const {
    std::vector<std::string> commands;
    for (const sim::LoggedCommand& logged : drive_->Log())
        commands.push_back(Describe(logged.cdb, logged.direction, logged.length));
    return commands;
}

void UpdateRig::Sample() {
    const Progress now{WorkerState.load(std::memory_order_acquire),
                       ChunkCounter.load(std::memory_order_acquire)};
    if (seen_.empty() || !(seen_.back() == now)) seen_.push_back(now);
}

std::vector<uint32_t> UpdateRig::Sleeps() const {
    std::vector<uint32_t> sleeps;
    for (const auto& wait : events.Waits())
        if (!wait.signalled) sleeps.push_back(wait.timeoutMs);
    return sleeps;
}

namespace command {

std::string TestUnitReady() { return Block({0x00}, sim::Direction::None, 0); }

std::string OpenTray() { return Block({0x1B, 0, 0, 0, 0x02}, sim::Direction::None, 0); }

std::string WriteBuffer(uint8_t mode, uint8_t bufferId, uint32_t offset, uint32_t length) {
    return Block({0x3B, mode, bufferId, Byte(offset, 16), Byte(offset, 8), Byte(offset, 0),
                  Byte(length, 16), Byte(length, 8), Byte(length, 0)},
                 sim::Direction::Out, length);
}

std::string ReadBuffer(uint8_t bufferId, uint32_t offset, uint32_t length) {
    return Block({0x3C, 0, bufferId, Byte(offset, 16), Byte(offset, 8), Byte(offset, 0),
                  Byte(length, 16), Byte(length, 8), Byte(length, 0)},
                 sim::Direction::In, length);
}

std::string ReadBoardRecord() {
    return Block({0xF5, 0, 0, 0, 0x00, 0x0F, 0x80, 0x48, 0x00, 0x10}, sim::Direction::In, 16);
}

std::string WriteFixUp() {
    return Block({0xF0, 0, 0x00, 0x00, 0x00, 0x3A, 0, 0, 0x00, 0x0A}, sim::Direction::Out, 10);
}

}  // namespace command

std::vector<std::string> Concat(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

}  // namespace update_test
