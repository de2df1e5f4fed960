// Discovery over drive letters through the real pass-through transport and the bus that
// routes requests to simulated drives (D:, E:, ... in order).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "drive/discovery.h"
#include "drive/identify_candidate.h"
#include "platform/platform.h"
#include "program_state.h"
#include "sim/description.h"
#include "sim/sim_drive.h"
#include "sim/simulated_drive_bus.h"

namespace {

struct SimulatedDrive {
    const char* vendor;
    const char* product;
    uint8_t deviceType;
    uint8_t byte3;
    uint32_t inquiryFlaps;  // the first N INQUIRY answers each differ in one byte
};

std::shared_ptr<sim::Drive> MakeDrive(const SimulatedDrive& drive) {
    sim::DriveDescription description;
    description.vendor = drive.vendor;
    description.product = drive.product;
    description.revision = "1.04";
    description.deviceType = drive.deviceType;
    description.inquiryByte3 = drive.byte3;
    description.inquiryFlaps = drive.inquiryFlaps;
    return std::make_shared<sim::Drive>(description);
}

size_t CountOpcode(const sim::Drive& drive, uint8_t opcode) {
    size_t count = 0;
    for (const auto& command : drive.Log()) count += command.cdb[0] == opcode;
    return count;
}

TEST(DiscoveryOnSimulatedDrives, IdentifiesEachLetteredDrive) {
    drive_test::ResetProgramState(1, "ZORVTECHCDRW;");
    // clang-format off
    const SimulatedDrive layout[] = {
        {"ZORVTECH", "CDRW-4824  FAST ", 0x05, 0x21, 0},   // D: accepted, ATAPI
        {"ACMEDISC", "CDRW-4824  FAST ", 0x05, 0x00, 0},   // E: other vendor
        {"ZORVTECH", "CDRW-4824  SLOW ", 0x05, 0x00, 1},   // F: first read differs
        {"ZORVTECH", "CDRW-4824  FAST ", 0x05, 0x00, 20},  // G: no pair agrees in 10 rounds
        {"ZORVTECH", "CDRW-4824  FAST ", 0x05, 0x00, 18},  // H: agrees in the last round
        {"ZORVTECH", "CDRW-4824  FAST ", 0x25, 0x00, 0},   // I: qualifier bits set
        {"ZORVTECH", "DVD-ROM 16X     ", 0x05, 0x00, 0},   // J: other product
    };
    // clang-format on
    std::vector<std::shared_ptr<sim::Drive>> drives;
    for (const SimulatedDrive& drive : layout) drives.push_back(MakeDrive(drive));
    sim::SimulatedDriveBus bus(drives);
    const platform::ScopedService scoped(&platform::Services::Drives, &bus);

    ASSERT_EQ(DiscoverDrives(), 3u);

    EXPECT_STREQ(DriveTable[0].DriveLetter, "D");
    EXPECT_STREQ(DriveTable[0].DisplayText, "D:\\ [ZORVTECHCDRW-4824  FAST  1.04]");
    EXPECT_EQ(DriveTable[0].Atapi, 1);
    EXPECT_STREQ(DriveTable[1].DriveLetter, "F");
    EXPECT_STREQ(DriveTable[1].DisplayText, "F:\\ [ZORVTECHCDRW-4824  SLOW  1.04]");
    EXPECT_EQ(DriveTable[1].Atapi, 0);
    EXPECT_STREQ(DriveTable[2].DriveLetter, "H");
    EXPECT_EQ(std::string(DriveTable[2].Revision, 4), "1.04");

    // Three TEST UNIT READY for every drive, then INQUIRY pairs until two reads agree.
    const size_t expectedInquiries[] = {
        2, 2, 4, 2 * kInquiryAgreementRounds, 2 * kInquiryAgreementRounds, 2, 2};
    for (size_t i = 0; i < drives.size(); ++i) {
        SCOPED_TRACE(std::string(1, static_cast<char>('D' + i)) + ":");
        EXPECT_EQ(CountOpcode(*drives[i], 0x00), 3u);
        EXPECT_EQ(CountOpcode(*drives[i], 0x12), expectedInquiries[i]);
        EXPECT_EQ(drives[i]->Log().size(), 3u + expectedInquiries[i]);
    }
}

}  // namespace
