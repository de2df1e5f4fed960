#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sim/description.h"
#include "sim/sim_drive.h"
#include "sim/simulated_drive_bus.h"

namespace {

using platform::PassThroughBlock;
using sim::SimulatedDriveBus;

std::shared_ptr<sim::Drive> MakeDrive(sim::Medium medium, std::vector<sim::Fault> faults = {}) {
    sim::DriveDescription description;
    description.medium = medium;
    description.faults = std::move(faults);
    return std::make_shared<sim::Drive>(description);
}

sim::Fault FaultOnCommand(uint32_t ordinal, sim::FaultEffect effect) {
    sim::Fault fault;
    fault.trigger = sim::FaultTrigger::Command;
    fault.ordinal = ordinal;
    fault.effect = effect;
    return fault;
}

PassThroughBlock Request(std::vector<uint8_t> cdb, uint8_t dataIn, void* data, uint32_t length) {
    PassThroughBlock block{};
    block.Sptd.Length = 44;
    block.Sptd.TargetId = 1;
    block.Sptd.CdbLength = static_cast<uint8_t>(cdb.size());
    block.Sptd.SenseInfoLength = 32;
    block.Sptd.DataIn = dataIn;
    block.Sptd.DataTransferLength = length;
    block.Sptd.TimeOutValue = 10;
    block.Sptd.DataBuffer = data;
    block.Sptd.SenseInfoOffset = 48;
    std::memcpy(block.Sptd.Cdb, cdb.data(), cdb.size());
    return block;
}

TEST(SimulatedDriveBus, AttachedDrivesAreDEAndSoOn) {
    SimulatedDriveBus bus({MakeDrive(sim::Medium::Empty), MakeDrive(sim::Medium::Loaded)});
    EXPECT_EQ(bus.DriveType('D'), platform::kDriveCdrom);
    EXPECT_EQ(bus.DriveType('E'), platform::kDriveCdrom);
    EXPECT_EQ(bus.DriveType('e'), platform::kDriveCdrom);
    for (char letter : std::string("ABCFZ"))
        EXPECT_EQ(bus.DriveType(letter), platform::kDriveNoRootDir) << letter;
    EXPECT_EQ(bus.Open('F', true), platform::kInvalidDrive);
    EXPECT_EQ(bus.Open('C', false), platform::kInvalidDrive);
}

TEST(SimulatedDriveBus, CarriesCommandsToTheDriveOfTheLetter) {
    auto empty = MakeDrive(sim::Medium::Empty);
    auto loaded = MakeDrive(sim::Medium::Loaded);
    SimulatedDriveBus bus({empty, loaded});

    platform::DriveHandle e = bus.Open('E', true);
    ASSERT_NE(e, platform::kInvalidDrive);
    uint32_t mask = 0;
    EXPECT_TRUE(bus.QueryAlignmentMask(e, &mask));
    EXPECT_EQ(mask, SimulatedDriveBus::kAlignmentMask);

    // INQUIRY: the data lands in the buffer of the request.
    uint8_t inquiry[36] = {};
    PassThroughBlock block = Request({0x12, 0, 0, 0, 36, 0}, platform::kDataIn, inquiry, 36);
    uint32_t systemError = 0;
    ASSERT_TRUE(bus.Send(e, block, &systemError));
    EXPECT_EQ(block.Sptd.ScsiStatus, 0);
    EXPECT_EQ(inquiry[0], 0x05);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(inquiry + 8), 8), "ZORVANT ");

    // TEST UNIT READY on the loaded drive is good; only E: saw the commands.
    block = Request({0x00, 0, 0, 0, 0, 0}, platform::kDataUnspecified, nullptr, 0);
    ASSERT_TRUE(bus.Send(e, block, &systemError));
    EXPECT_EQ(block.Sptd.ScsiStatus, 0);
    bus.Close(e);
    EXPECT_FALSE(bus.QueryAlignmentMask(e, &mask));
    EXPECT_TRUE(empty->Log().empty());
    ASSERT_EQ(loaded->Log().size(), 2u);
    EXPECT_EQ(loaded->Log()[0].direction, sim::Direction::In);
    EXPECT_EQ(loaded->Log()[0].length, 36u);
    EXPECT_EQ(loaded->Log()[1].direction, sim::Direction::None);

    // A check condition arrives with its sense data, and counts as carried out.
    platform::DriveHandle d = bus.Open('D', false);
    ASSERT_NE(d, platform::kInvalidDrive);
    block = Request({0x00, 0, 0, 0, 0, 0}, platform::kDataUnspecified, nullptr, 0);
    ASSERT_TRUE(bus.Send(d, block, &systemError));
    EXPECT_EQ(block.Sptd.ScsiStatus, 2);
    EXPECT_EQ(block.SenseBuffer[2], 0x02);
    EXPECT_EQ(block.SenseBuffer[12], 0x3A);
    EXPECT_EQ(block.SenseBuffer[13], 0x01);
    bus.Close(d);
}

TEST(SimulatedDriveBus, SendsOutgoingDataAsDataOut) {
    auto drive = MakeDrive(sim::Medium::Loaded);
    SimulatedDriveBus bus({drive});
    platform::DriveHandle d = bus.Open('D', true);
    std::vector<uint8_t> chunk(512, 0xA5);
    PassThroughBlock block =
        Request({0x3B, 0x04, 0, 0, 0, 0, 0, 0x02, 0x00, 0}, platform::kDataOut, chunk.data(), 512);
    uint32_t systemError = 0;
    EXPECT_TRUE(bus.Send(d, block, &systemError));
    bus.Close(d);
    ASSERT_EQ(drive->Log().size(), 1u);
    EXPECT_EQ(drive->Log()[0].direction, sim::Direction::Out);
    EXPECT_EQ(drive->Log()[0].length, 512u);
    EXPECT_EQ(drive->Log()[0].cdb.size(), 10u);
}

TEST(SimulatedDriveBus, ATimeOutFailsTheRequestWith121) {
    SimulatedDriveBus bus(
        {MakeDrive(sim::Medium::Loaded, {FaultOnCommand(1, sim::FaultEffect::TimeOut)})});
    platform::DriveHandle d = bus.Open('D', true);
    PassThroughBlock block = Request({0x00, 0, 0, 0, 0, 0}, platform::kDataUnspecified, nullptr, 0);
    uint32_t systemError = 0;
    EXPECT_FALSE(bus.Send(d, block, &systemError));
    EXPECT_EQ(systemError, platform::kErrorSemTimeout);
    EXPECT_EQ(block.SenseBuffer[2], 0);
    // The drive is still there.
    EXPECT_TRUE(bus.Send(d, block, &systemError));
    bus.Close(d);
}

TEST(SimulatedDriveBus, AVanishedDriveFailsWithNotReadyAndOpensNoMore) {
    SimulatedDriveBus bus(
        {MakeDrive(sim::Medium::Loaded, {FaultOnCommand(2, sim::FaultEffect::Vanish)})});
    platform::DriveHandle d = bus.Open('D', true);
    PassThroughBlock block = Request({0x00, 0, 0, 0, 0, 0}, platform::kDataUnspecified, nullptr, 0);
    uint32_t systemError = 0;
    ASSERT_TRUE(bus.Send(d, block, &systemError));
    EXPECT_FALSE(bus.Send(d, block, &systemError));
    EXPECT_EQ(systemError, platform::kErrorNotReady);
    systemError = 0;
    EXPECT_FALSE(bus.Send(d, block, &systemError));
    EXPECT_EQ(systemError, platform::kErrorNotReady);
    bus.Close(d);
    EXPECT_EQ(bus.Open('D', true), platform::kInvalidDrive);
    EXPECT_EQ(bus.Open('D', false), platform::kInvalidDrive);
    // The letter still names a drive; it just cannot be reached.
    EXPECT_EQ(bus.DriveType('D'), platform::kDriveCdrom);
}

}  // namespace
