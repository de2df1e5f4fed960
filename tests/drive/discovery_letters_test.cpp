// Discovery over the drive letters: which letters are asked, how a candidate is identified,
// and what an accepted drive's entry holds.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "drive/discovery.h"
#include "drive/identify_candidate.h"
#include "platform/platform.h"
#include "platform/substitute/scripted_drive_bus.h"
#include "program_state.h"
#include "tests/support/inquiry_data.h"

namespace {

using platform::substitute::ScriptedDriveBus;
using test_support::MakeInquiry;

constexpr uint8_t kInquiryOpcode = 0x12;

const std::vector<uint8_t> kZorvDrive =
    MakeInquiry(0x05, 0x00, "ZORVTECH", "CDRW-4824  FAST ", "1.04");

class DiscoveryOnLettersTest : public testing::Test {
protected:
    void SetUp() override {
        drive_test::ResetProgramState(1, "OTHERVND;ZORVTECH;");
        // Each CD-ROM letter answers INQUIRY with its own data, every other command GOOD.
        bus_.SetResponder([this](const ScriptedDriveBus::SentRequest& request) {
            ScriptedDriveBus::Answer answer;
            if (request.cdb[0] == kInquiryOpcode) answer.dataIn = inquiry_[request.letter];
            return answer;
        });
    }

    void AddCdrom(char letter, const std::vector<uint8_t>& inquiry) {
        bus_.SetDrive(letter, {});
        inquiry_[letter] = inquiry;
    }

    uint32_t Discover() {
        const platform::ScopedService drives(&platform::Services::Drives, &bus_);
        return DiscoverDrives();
    }

    // Opcodes sent to `letter`, in order.
    std::vector<uint8_t> OpcodesSentTo(char letter) const {
        std::vector<uint8_t> opcodes;
        for (const auto& request : bus_.Requests()) {
            if (request.letter == letter) opcodes.push_back(request.cdb[0]);
        }
        return opcodes;
    }

    size_t InquiriesSent() const {
        size_t count = 0;
        for (const auto& request : bus_.Requests()) count += request.cdb[0] == kInquiryOpcode;
        return count;
    }

    static ScriptedDriveBus::Answer Failure() {
        ScriptedDriveBus::Answer answer;
        answer.scsiStatus = 2;
        answer.sense = {0x70, 0, 0x02, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x3A, 0x01};
        return answer;
    }

    ScriptedDriveBus bus_;
    std::map<char, std::vector<uint8_t>> inquiry_;
};

TEST_F(DiscoveryOnLettersTest, TriesEveryLetterInOrderAndSendsCommandsOnlyToOpticalDrives) {
    bus_.SetDrive('C', {.type = 3});  // a fixed disk
    AddCdrom('E', kZorvDrive);
    AddCdrom('F', MakeInquiry(0x05, 0x00, "ACMEDISC", "DVD-ROM 16X     ", "2.00"));
    AddCdrom('G', MakeInquiry(0x05, 0x21, "ZORVTECH", "DVDRW-1600 X    ", "0.99"));

    EXPECT_EQ(Discover(), 2u);

    std::vector<char> expectedLetters;
    for (char letter = 'A'; letter <= 'Z'; ++letter) expectedLetters.push_back(letter);
    EXPECT_EQ(bus_.DriveTypeQueries(), expectedLetters);
    for (const auto& request : bus_.Requests()) {
        EXPECT_TRUE(request.letter == 'E' || request.letter == 'F' || request.letter == 'G')
            << "command sent to " << request.letter;
    }
    // Three TEST UNIT READY, then one pair of INQUIRY reads that agree.
    const std::vector<uint8_t> identification = {0x00, 0x00, 0x00, 0x12, 0x12};
    EXPECT_EQ(OpcodesSentTo('E'), identification);
    EXPECT_EQ(OpcodesSentTo('F'), identification);
    // Every INQUIRY asks for 36 bytes.
    for (const auto& request : bus_.Requests()) {
        if (request.cdb[0] == kInquiryOpcode) {
            EXPECT_EQ(request.cdb[4], 36);
            EXPECT_EQ(request.sptd.DataTransferLength, 36u);
        }
    }

    // Accepted drives fill the table from the start, in the order found.
    EXPECT_STREQ(DriveTable[0].DriveLetter, "E");
    EXPECT_STREQ(DriveTable[0].DisplayText, "E:\\ [ZORVTECHCDRW-4824  FAST  1.04]");
    EXPECT_EQ(std::string(DriveTable[0].Revision, 4), "1.04");
    EXPECT_EQ(DriveTable[0].Atapi, 0);
    EXPECT_STREQ(DriveTable[1].DriveLetter, "G");
    EXPECT_STREQ(DriveTable[1].DisplayText, "G:\\ [ZORVTECHDVDRW-1600 X     0.99]");
    EXPECT_EQ(DriveTable[1].Atapi, 1);
    for (const DriveEntry& entry : {DriveTable[0], DriveTable[1]}) {
        EXPECT_EQ(entry.HaId, 0);
        EXPECT_EQ(entry.Target, 0);
        EXPECT_EQ(entry.Lun, 0);
        EXPECT_EQ(entry.AlignMask, 0u);
        EXPECT_EQ(entry.Updated, 0);
    }
}

TEST_F(DiscoveryOnLettersTest, AnAcceptedAtapiDriveIsAskedIn12ByteBlocksAfterwards) {
    AddCdrom('D', MakeInquiry(0x05, 0x21, "ZORVTECH", "CDRW-4824  FAST ", "1.04"));
    ASSERT_EQ(Discover(), 1u);
    // Identification itself still uses 6-byte blocks: ATAPI is only known on acceptance.
    for (const auto& request : bus_.Requests()) EXPECT_EQ(request.cdb.size(), 6u);
}

struct IdentityCase {
    const char* name;
    std::vector<uint8_t> inquiry;
    bool accepted;
    uint8_t atapi;
    const char* displayText;
    const char* revision;  // 4 bytes
};

class IdentityTest : public DiscoveryOnLettersTest,
                     public testing::WithParamInterface<IdentityCase> {};

TEST_P(IdentityTest, AcceptsMatchingCdromDrivesOnly) {
    const IdentityCase& c = GetParam();
    AddCdrom('E', c.inquiry);

    ASSERT_EQ(Discover(), c.accepted ? 1u : 0u);
    if (!c.accepted) return;
    EXPECT_EQ(DriveTable[0].Atapi, c.atapi);
    EXPECT_STREQ(DriveTable[0].DisplayText, c.displayText);
    EXPECT_EQ(std::string(DriveTable[0].Revision, 4), std::string(c.revision, 4));
}

// clang-format off
const IdentityCase kIdentityCases[] = {
    {"Matching", kZorvDrive, true, 0, "E:\\ [ZORVTECHCDRW-4824  FAST  1.04]", "1.04"},
    {"SecondListItemMatches",
     MakeInquiry(0x05, 0x00, "OTHERVND", "ANY MODEL       ", "9.99"), true, 0,
     "E:\\ [OTHERVNDANY MODEL        9.99]", "9.99"},
    {"OtherVendor", MakeInquiry(0x05, 0x00, "ACMEDISC", "CDRW-4824  FAST ", "1.04"), false, 0, "", ""},
    {"QualifierBitsSet", MakeInquiry(0x25, 0x00, "ZORVTECH", "CDRW-4824  FAST ", "1.04"),
     false, 0, "", ""},
    {"NotACdromDevice", MakeInquiry(0x00, 0x00, "ZORVTECH", "CDRW-4824  FAST ", "1.04"), false, 0, "", ""},
    {"AtapiVersionSet", MakeInquiry(0x05, 0x21, "ZORVTECH", "CDRW-4824  FAST ", "1.04"), true,
     1, "E:\\ [ZORVTECHCDRW-4824  FAST  1.04]", "1.04"},
    {"OnlyLowBitsOfByte3", MakeInquiry(0x05, 0x02, "ZORVTECH", "CDRW-4824  FAST ", "1.04"),
     true, 0, "E:\\ [ZORVTECHCDRW-4824  FAST  1.04]", "1.04"},
    {"HighestAtapiBit", MakeInquiry(0x05, 0x80, "ZORVTECH", "CDRW-4824  FAST ", "1.04"), true,
     1, "E:\\ [ZORVTECHCDRW-4824  FAST  1.04]", "1.04"},
    // The texts stop at a zero byte inside a field; the revision is kept as its 4 bytes.
    {"ZeroBytesInsideFields", MakeInquiry(0x05, 0x00, "ZORVTECH", "CD", "1.0"), true, 0,
     "E:\\ [ZORVTECHCD 1.0]", "1.0\0"},
};
// clang-format on

void PrintTo(const IdentityCase& c, std::ostream* os) { *os << c.name; }

std::string CaseName(const testing::TestParamInfo<IdentityCase>& caseInfo) {
    return caseInfo.param.name;
}

INSTANTIATE_TEST_SUITE_P(Identities, IdentityTest, testing::ValuesIn(kIdentityCases), CaseName);

TEST_F(DiscoveryOnLettersTest, ReadsAgainUntilTwoConsecutiveReadsAgree) {
    AddCdrom('E', kZorvDrive);
    // The first read still shows the old revision; the drive settles from the second on.
    int reads = 0;
    bus_.SetResponder([&](const ScriptedDriveBus::SentRequest& request) {
        ScriptedDriveBus::Answer answer;
        if (request.cdb[0] != kInquiryOpcode) return answer;
        answer.dataIn = ++reads == 1
                            ? MakeInquiry(0x05, 0x00, "ZORVTECH", "CDRW-4824  FAST ", "1.03")
                            : kZorvDrive;
        return answer;
    });

    ASSERT_EQ(Discover(), 1u);
    EXPECT_EQ(InquiriesSent(), 4u);
    EXPECT_EQ(std::string(DriveTable[0].Revision, 4), "1.04");
}

TEST_F(DiscoveryOnLettersTest, ADriveWhoseReadsNeverAgreeIsRejectedAndTheWalkGoesOn) {
    AddCdrom('E', kZorvDrive);
    AddCdrom('F', kZorvDrive);
    int reads = 0;
    bus_.SetResponder([&](const ScriptedDriveBus::SentRequest& request) {
        ScriptedDriveBus::Answer answer;
        if (request.cdb[0] != kInquiryOpcode) return answer;
        answer.dataIn = inquiry_[request.letter];
        // Drive E reports a different revision digit on every read.
        if (request.letter == 'E') answer.dataIn[35] = static_cast<uint8_t>('0' + reads++ % 10);
        return answer;
    });

    ASSERT_EQ(Discover(), 1u);
    EXPECT_STREQ(DriveTable[0].DriveLetter, "F");
    size_t inquiriesToE = 0;
    for (const auto& request : bus_.Requests()) {
        inquiriesToE += request.letter == 'E' && request.cdb[0] == kInquiryOpcode;
    }
    EXPECT_EQ(inquiriesToE, 2u * kInquiryAgreementRounds);
}

TEST_F(DiscoveryOnLettersTest, FailedCommandsDuringIdentification) {
    struct FailureCase {
        const char* name;
        std::vector<bool> fails;  // per command sent: 3 TEST UNIT READY, then INQUIRY reads
        bool accepted;
        size_t inquiries;
    };
    // clang-format off
    const FailureCase cases[] = {
        {"TestUnitReadyFailuresIgnored", {true, true, true}, true, 2},
        {"FirstReadRetried", {false, false, false, true}, true, 3},
        {"SecondReadRetried", {false, false, false, false, true}, true, 3},
        // Both reads into A fail: B is not read, both stay zero and agree, and the zero
        // device type rejects the drive.
        {"NoReadSucceeds", {false, false, false, true, true}, false, 2},
        // Both reads into B fail: A and B differ, so a new round starts.
        {"SecondPairFails", {false, false, false, false, true, true}, true, 5},
    };
    // clang-format on
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        drive_test::ResetProgramState(1, "ZORVTECH;");
        bus_ = ScriptedDriveBus();
        inquiry_.clear();
        AddCdrom('E', kZorvDrive);
        size_t sent = 0;
        bus_.SetResponder([&](const ScriptedDriveBus::SentRequest& request) {
            const bool fail = sent < c.fails.size() && c.fails[sent];
            ++sent;
            if (fail) return Failure();
            ScriptedDriveBus::Answer answer;
            if (request.cdb[0] == kInquiryOpcode) answer.dataIn = inquiry_[request.letter];
            return answer;
        });

        EXPECT_EQ(Discover(), c.accepted ? 1u : 0u);
        EXPECT_EQ(InquiriesSent(), c.inquiries);
    }
}

}  // namespace
