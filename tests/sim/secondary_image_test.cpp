#include <gtest/gtest.h>

#include "tests/sim/sim_test_helpers.h"

namespace {

using namespace simtest;
using sim::Direction;

constexpr uint32_t kArea = 0x3400;
constexpr uint32_t kLength = 0x10000 - kArea;

Bytes AreaData() {
    Bytes data(kLength);
    for (uint32_t i = 0; i < kLength; ++i) {
        data[i] = static_cast<uint8_t>(i ^ (i >> 8));
    }
    return data;
}

std::string ReadVersion(sim::Drive& drive) {
    Bytes version(7, 0xEE);
    EXPECT_EQ(Summary(Send(drive, ReadBufferCdb(0, 0x84, 0, 7), Direction::In, version.data(), 7)),
              "GOOD");
    return std::string(version.begin(), version.end());
}

std::string Begin(sim::Drive& drive) {
    return Summary(Send(drive, WriteBufferCdb(0, 0x80, 0, 0), Direction::Out, nullptr, 0));
}

std::string Commit(sim::Drive& drive) {
    return Summary(Send(drive, WriteBufferCdb(0, 0x82, 0, 0), Direction::Out, nullptr, 0));
}

std::string WriteArea(sim::Drive& drive, Bytes& data) {
    return Summary(
        Send(drive, WriteBufferCdb(0, 0x81, kArea, kLength), Direction::Out, data.data(), kLength));
}

std::string ReadArea(sim::Drive& drive, Bytes& data) {
    data.assign(kLength, 0);
    return Summary(
        Send(drive, ReadBufferCdb(0, 0x81, kArea, kLength), Direction::In, data.data(), kLength));
}

size_t Differences(const Bytes& a, const Bytes& b) {
    size_t count = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        count += a[i] != b[i];
    }
    return count;
}

TEST(SecondaryImageTest, BeginWriteReadBackCommitChangesTheVersion) {
    auto drive = MakeDrive("eps_version = 1.00A00\neps_commit_version = 1.10A00");
    EXPECT_EQ(ReadVersion(*drive), "1.00A00");
    Bytes data = AreaData();
    EXPECT_EQ(Begin(*drive), "GOOD");
    EXPECT_EQ(WriteArea(*drive, data), "GOOD");
    Bytes readBack;
    EXPECT_EQ(ReadArea(*drive, readBack), "GOOD");
    EXPECT_EQ(readBack, data);
    EXPECT_EQ(Commit(*drive), "GOOD");
    EXPECT_EQ(ReadVersion(*drive), "1.10A00");
    EXPECT_EQ(drive->SecondaryVersion(), "1.10A00");

    const Bytes committed = drive->CommittedSecondaryImage();
    ASSERT_EQ(committed.size(), 0x10000u);
    EXPECT_EQ(committed[kArea - 1], 0xFF);  // the skipped head stays erased
    EXPECT_TRUE(std::equal(data.begin(), data.end(), committed.begin() + kArea));
}

TEST(SecondaryImageTest, ShortVersionIsPaddedWithZeroBytes) {
    auto drive = MakeDrive("eps_version = 1.0");
    EXPECT_EQ(ReadVersion(*drive), std::string("1.0\0\0\0\0", 7));
}

TEST(SecondaryImageTest, WithoutCommitVersionTheVersionStays) {
    auto drive = MakeDrive("eps_version = 1.00A00");
    Bytes data = AreaData();
    EXPECT_EQ(Begin(*drive), "GOOD");
    EXPECT_EQ(WriteArea(*drive, data), "GOOD");
    EXPECT_EQ(Commit(*drive), "GOOD");
    EXPECT_EQ(ReadVersion(*drive), "1.00A00");
}

TEST(SecondaryImageTest, AreaAndCommitNeedABegunUpdate) {
    auto drive = MakeDrive("eps_version = 1.00A00");
    Bytes data = AreaData();
    EXPECT_EQ(WriteArea(*drive, data), "05/2C/00");
    EXPECT_EQ(ReadArea(*drive, data), "05/2C/00");
    EXPECT_EQ(Commit(*drive), "05/2C/00");
    EXPECT_EQ(Begin(*drive), "GOOD");
    data = AreaData();
    EXPECT_EQ(WriteArea(*drive, data), "GOOD");
    EXPECT_EQ(Commit(*drive), "GOOD");
    EXPECT_EQ(WriteArea(*drive, data), "05/2C/00");  // the commit ended the update
}

TEST(SecondaryImageTest, RefusesWhatItCannotHold) {
    auto drive = MakeDrive("eps_version = 1.00A00\neps_capacity = 0x8000");
    Bytes data = AreaData();
    EXPECT_EQ(Begin(*drive), "GOOD");
    EXPECT_EQ(WriteArea(*drive, data), "05/24/00");
    EXPECT_EQ(Summary(Send(*drive, WriteBufferCdb(0, 0x83, 0, 0), Direction::Out, nullptr, 0)),
              "05/24/00");
    EXPECT_EQ(Summary(Send(*drive, WriteBufferCdb(0, 0x80, 0, 4), Direction::Out, data.data(), 4)),
              "05/24/00");
}

TEST(SecondaryImageTest, DriveWithoutSecondaryImageRejectsItsBuffers) {
    auto drive = MakeDrive("");
    Bytes version(7);
    EXPECT_EQ(Summary(Send(*drive, ReadBufferCdb(0, 0x84, 0, 7), Direction::In, version.data(), 7)),
              "05/24/00");
    EXPECT_EQ(Begin(*drive), "05/24/00");
}

TEST(SecondaryImageTest, ReadBacksAreCorruptedAsDescribed) {
    auto drive = MakeDrive("eps_version = 1.00A00\neps_readback_corrupt = 2 0 4");
    Bytes data = AreaData();
    EXPECT_EQ(Begin(*drive), "GOOD");
    EXPECT_EQ(WriteArea(*drive, data), "GOOD");
    const size_t expected[] = {2, 0, 4, 0, 0};
    for (const size_t differing : expected) {
        Bytes readBack;
        EXPECT_EQ(ReadArea(*drive, readBack), "GOOD");
        EXPECT_EQ(Differences(readBack, data), differing);
    }
    // Corruption is in the answer only, never in what the drive holds.
    EXPECT_EQ(Commit(*drive), "GOOD");
    EXPECT_TRUE(
        std::equal(data.begin(), data.end(), drive->CommittedSecondaryImage().begin() + kArea));
}

}  // namespace
