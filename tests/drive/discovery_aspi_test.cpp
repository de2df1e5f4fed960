// Discovery over ASPI host adapters and targets, against a fake ASPI manager whose targets
// are simulated drives or answer with fixed INQUIRY data.
#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "drive/discovery.h"
#include "drive/display_text.h"
#include "fake_aspi_manager.h"
#include "program_state.h"
#include "sim/description.h"
#include "sim/sim_drive.h"
#include "tests/support/inquiry_data.h"

namespace {

using drive_test::FakeAdapter;
using drive_test::FakeAspiManager;
using drive_test::FakeTarget;
using drive_test::ScopedFakeAspi;
using test_support::MakeInquiry;

using Address = std::pair<uint8_t, uint8_t>;  // adapter, target

std::shared_ptr<sim::Drive> SimDrive(const std::string& vendor, const std::string& product,
                                     const std::string& revision, uint8_t byte3,
                                     uint8_t deviceType = 5) {
    sim::DriveDescription description;
    description.vendor = vendor;
    description.product = product;
    description.revision = revision;
    description.inquiryByte3 = byte3;
    description.deviceType = deviceType;
    return std::make_shared<sim::Drive>(description);
}

FakeTarget SimTarget(std::shared_ptr<sim::Drive> drive) {
    FakeTarget target;
    target.drive = std::move(drive);
    return target;
}

FakeAdapter Adapter(uint16_t alignMask, uint8_t targetCount) {
    FakeAdapter adapter;
    adapter.unique[0] = static_cast<uint8_t>(alignMask);
    adapter.unique[1] = static_cast<uint8_t>(alignMask >> 8);
    adapter.unique[3] = targetCount;
    return adapter;
}

std::vector<uint8_t> Opcodes(const sim::Drive& drive) {
    std::vector<uint8_t> opcodes;
    for (const auto& command : drive.Log()) opcodes.push_back(command.cdb[0]);
    return opcodes;
}

class DiscoveryOnAspiTest : public testing::Test {
protected:
    void SetUp() override { drive_test::ResetProgramState(0, "ZORVTECH;"); }

    uint32_t Discover() {
        ScopedFakeAspi installed(manager_);
        EXPECT_TRUE(installed.Opened());
        return DiscoverDrives();
    }

    FakeAspiManager manager_;
};

TEST_F(DiscoveryOnAspiTest, WalksAdaptersAndTargetsAndFillsTheAddressOfEachDrive) {
    auto atapiDrive = SimDrive("ZORVTECH", "CDRW-4824  FAST ", "1.04", 0x21);
    auto scsiDrive = SimDrive("ZORVTECH", "DVDRW-1600 X    ", "0.99", 0x02);
    auto otherVendor = SimDrive("ACMEDISC", "DVD-ROM 16X     ", "2.00", 0x00);

    // Adapter 0 reports no target count (8 targets); adapter 1 reports 16.
    manager_.adapters.push_back(Adapter(0x0001, 0));
    manager_.adapters[0].targets[2] = SimTarget(atapiDrive);
    manager_.adapters[0].targets[5].deviceType = 1;  // a tape drive
    manager_.adapters.push_back(Adapter(0x01FF, 16));
    manager_.adapters[1].targets[3] = SimTarget(scsiDrive);
    manager_.adapters[1].targets[7] = SimTarget(otherVendor);
    manager_.adapters[1].targets[12].deviceTypeFails = true;
    manager_.adapters[1].targets[12].deviceType = 5;
    manager_.adapters.push_back(Adapter(0, 0));
    manager_.adapters[2].inquiryFails = true;

    ASSERT_EQ(Discover(), 2u);

    // Adapter 0 is asked once for the count and again in the walk; a failing adapter is
    // skipped.
    EXPECT_EQ(manager_.hostAdapterInquiries, (std::vector<uint8_t>{0, 0, 1, 2}));
    std::vector<Address> expectedTargets;
    for (uint8_t t = 0; t < 8; ++t) expectedTargets.emplace_back(0, t);
    for (uint8_t t = 0; t < 16; ++t) expectedTargets.emplace_back(1, t);
    EXPECT_EQ(manager_.deviceTypeQueries, expectedTargets);

    // Only CD/DVD devices get commands.
    for (const auto& executed : manager_.executed) {
        const Address address{executed.request.SRB_HaId, executed.request.SRB_Target};
        const bool cdromDevice =
            address == Address(0, 2) || address == Address(1, 3) || address == Address(1, 7);
        EXPECT_TRUE(cdromDevice) << int{address.first} << "," << int{address.second};
    }
    // The simulated drive has no disc, so TEST UNIT READY fails; that is not looked at.
    EXPECT_EQ(Opcodes(*atapiDrive), (std::vector<uint8_t>{0x00, 0x00, 0x00, 0x12, 0x12}));

    const DriveEntry& first = DriveTable[0];
    EXPECT_EQ(first.HaId, 0);
    EXPECT_EQ(first.Target, 2);
    EXPECT_EQ(first.AlignMask, 0x0001u);
    EXPECT_EQ(first.Atapi, 1);
    EXPECT_STREQ(first.DisplayText, "(0,2) ZORVTECHCDRW-4824  FAST  1.04");
    EXPECT_EQ(std::string(first.Revision, 4), "1.04");
    EXPECT_STREQ(first.DriveLetter, "");

    const DriveEntry& second = DriveTable[1];
    EXPECT_EQ(second.HaId, 1);
    EXPECT_EQ(second.Target, 3);
    EXPECT_EQ(second.AlignMask, 0x01FFu);
    EXPECT_EQ(second.Atapi, 0);
    EXPECT_STREQ(second.DisplayText, "(1,3) ZORVTECHDVDRW-1600 X     0.99");
    EXPECT_EQ(std::string(second.Revision, 4), "0.99");
}

TEST_F(DiscoveryOnAspiTest, AFailedFirstAdapterInquiryFindsNothing) {
    manager_.adapters.push_back(Adapter(0, 0));
    manager_.adapters[0].inquiryFails = true;
    manager_.adapters.push_back(Adapter(0, 0));
    manager_.adapters[1].targets[0] = SimTarget(SimDrive("ZORVTECH", "X", "1.00", 0));

    EXPECT_EQ(Discover(), 0u);
    EXPECT_EQ(manager_.hostAdapterInquiries, std::vector<uint8_t>{0});
    EXPECT_TRUE(manager_.deviceTypeQueries.empty());
}

TEST_F(DiscoveryOnAspiTest, TheWalkEndsWhenTheTableHoldsAHundredDrives) {
    // 4 adapters of 32 matching targets each: 128 drives.
    FakeTarget matching;
    matching.dataIn = MakeInquiry(0x05, 0x00, "ZORVTECH", "CDRW-4824  FAST ", "1.04");
    for (int a = 0; a < 4; ++a) {
        manager_.adapters.push_back(Adapter(0, 32));
        for (uint8_t t = 0; t < 32; ++t) manager_.adapters.back().targets[t] = matching;
    }
    ASSERT_EQ(Discover(), 100u);

    // The hundredth drive is adapter 3, target 3; nothing is asked after it.
    EXPECT_EQ(DriveTable[99].HaId, 3);
    EXPECT_EQ(DriveTable[99].Target, 3);
    EXPECT_STREQ(DriveTable[99].DisplayText, "(3,3) ZORVTECHCDRW-4824  FAST  1.04");
    EXPECT_EQ(manager_.deviceTypeQueries.size(), 100u);
    EXPECT_EQ(manager_.deviceTypeQueries.back(), (Address{3, 3}));
    const auto& last = manager_.executed.back().request;
    EXPECT_EQ(last.SRB_HaId, 3);
    EXPECT_EQ(last.SRB_Target, 3);
    EXPECT_EQ(manager_.hostAdapterInquiries, (std::vector<uint8_t>{0, 0, 1, 2, 3}));
}

TEST(AspiDisplayText, TheLongestTextFitsTheField) {
    DriveEntry entry{};
    entry.HaId = 255;
    entry.Target = 255;
    const std::vector<uint8_t> inquiry =
        MakeInquiry(0x05, 0x00, "ZORVTECH", "CDRW-4824  FAST ", "1.04");
    std::vector<uint8_t> buffer(inquiry);
    buffer.resize(40, 0);

    FormatAspiDisplayText(entry, buffer.data());

    EXPECT_STREQ(entry.DisplayText, "(255,255) ZORVTECHCDRW-4824  FAST  1.04");
    EXPECT_EQ(std::string(entry.DisplayText).size(), 39u);
}

}  // namespace
