// The checks before an update, through both real transports against a simulated drive:
// the board check, the version question, the revision fix-up, and their message boxes in
// both languages.
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "config/program_values.h"
#include "config/update_config.h"
#include "scsi/drive_entry.h"
#include "tests/update/update_rig.h"
#include "update/pre_update_checks.h"

namespace update_test {
namespace {

using namespace command;
using platform::MessageButtons;
using platform::MessageIcon;

constexpr char kFixUpModel[] = "ZORVANT DVDR   ZV-314K  ;";
constexpr char kOtherModel[] = "ZORVANT DVD-ROM ZV-120  ;";

struct Box {
    std::string text;
    std::string title;
    MessageIcon icon;
    MessageButtons buttons;
    bool operator==(const Box&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Box& box) {
    return out << "[" << box.title << "] " << box.text;
}

const Box kBoardReadFailed{"Drive version check failure.", "Error - Upgrade Program",
                           MessageIcon::Stop, MessageButtons::Ok};
const Box kBoardTooNew{
    "This firmware upgrade does not apply to your drive. Please \n"
    "visit Zorvant Web Site to check availability of latest firmware \n"
    "for the drive you have.",
    "Information - Upgrade Program", MessageIcon::Information, MessageButtons::Ok};
const Box kLaterVersion{
    "Drive has later version of firmware than this program. Please \n"
    "visit Zorvant Web Site to check availability of latest firmware \n"
    "for the drive you have.\n\nDo you continue it ?",
    "Information - Upgrade Program", MessageIcon::Information, MessageButtons::YesNo};
const Box kBoardReadFailedJa{"ドライブのバージョンチェックに失敗しました。",
                             "Error - Upgrade Program", MessageIcon::Stop, MessageButtons::Ok};
const Box kBoardTooNewJa{
    "本ファームウェアはこのドライブに適合しません。\n"
    "Zorvant ウェブサイトをチェックし、このドライブの\n"
    "最新ファームウェアを入手して下さい。",
    "Information - Upgrade Program", MessageIcon::Information, MessageButtons::Ok};
const Box kLaterVersionJa{
    "このドライブには、本ファームウェア更新プログラムより\n"
    "新しいバージョンのファームウェアがインストールされています。\n"
    "Zorvant ウェブサイトをチェックし、このドライブの\n"
    "最新ファームウェアを入手して下さい。\n\n続けますか？",
    "Information - Upgrade Program", MessageIcon::Information, MessageButtons::YesNo};

struct Case {
    const char* name;
    uint8_t pcbCheck = 0;
    uint8_t boardVersion = 0;
    bool boardReadFails = false;
    const char* version = "1.04";   // the package's
    const char* revision = "1.04";  // the drive's (its entry)
    const char* patterns = kOtherModel;
    int answer = platform::kIdYes;  // to a question
    bool japanese = false;
    bool expected = true;
    std::vector<Box> boxes = {};
    std::vector<std::string> commands = {};
};

std::ostream& operator<<(std::ostream& out, const Case& c) { return out << c.name; }

// clang-format off
const Case kCases[] = {
    // Board check.
    {.name = "NoBoardCheckSendsNothing", .boardVersion = 9},
    {.name = "BoardVersionEqualToTheLimitPasses",
     .pcbCheck = 3, .boardVersion = 3, .commands = {ReadBoardRecord()}},
    {.name = "BoardVersionBelowTheLimitPasses",
     .pcbCheck = 3, .boardVersion = 1, .commands = {ReadBoardRecord()}},
    {.name = "BoardVersionAboveTheLimitIsRefused",
     .pcbCheck = 3, .boardVersion = 4, .expected = false, .boxes = {kBoardTooNew},
     .commands = {ReadBoardRecord()}},
    {.name = "BoardVersionComparedUnsigned",
     .pcbCheck = 0x7F, .boardVersion = 0x80, .expected = false, .boxes = {kBoardTooNew},
     .commands = {ReadBoardRecord()}},
    {.name = "BoardReadThatFailsRefuses",
     .pcbCheck = 3, .boardReadFails = true, .expected = false, .boxes = {kBoardReadFailed},
     .commands = {ReadBoardRecord()}},
    {.name = "RefusedBoardAsksNoVersionQuestion",
     .pcbCheck = 3, .boardVersion = 4, .version = "1.04", .revision = "1.06",
     .patterns = kFixUpModel, .expected = false, .boxes = {kBoardTooNew},
     .commands = {ReadBoardRecord()}},
    {.name = "JapaneseBoardTexts",
     .pcbCheck = 3, .boardVersion = 4, .japanese = true, .expected = false,
     .boxes = {kBoardTooNewJa}, .commands = {ReadBoardRecord()}},
    {.name = "JapaneseBoardReadFailure",
     .pcbCheck = 3, .boardReadFails = true, .japanese = true, .expected = false,
     .boxes = {kBoardReadFailedJa}, .commands = {ReadBoardRecord()}},
    // Versions.
    {.name = "LaterDriveVersionAnsweredYesGoesOn",
     .version = "1.04", .revision = "1.06", .boxes = {kLaterVersion}},
    {.name = "LaterDriveVersionAnsweredNoStops",
     .version = "1.04", .revision = "1.06", .answer = platform::kIdNo, .expected = false,
     .boxes = {kLaterVersion}},
    {.name = "JapaneseQuestion",
     .version = "1.04", .revision = "1.06", .japanese = true, .boxes = {kLaterVersionJa}},
    {.name = "EqualVersionsAskNothing", .version = "1.06", .revision = "1.06"},
    {.name = "OlderDriveVersionAsksNothing", .version = "1.10", .revision = "1.06"},
    {.name = "VersionsReadAsNumbersNotText",  // 1.10 against 1.9
     .version = "1.10", .revision = "1.9x", .boxes = {kLaterVersion}},
    {.name = "DriveRevisionStartingWithZeroIsNotCompared", .version = "1.04", .revision = "0.99"},
    {.name = "PackageVersionWithoutPointIsNotCompared", .version = "1x04", .revision = "2.00"},
    {.name = "PackageVersionStartingWithZeroIsNotCompared", .version = "0.04", .revision = "2.00"},
    // Revision fix-up.
    {.name = "FixUpModelAtRevision101",
     .version = "1.02", .revision = "1.01", .patterns = kFixUpModel, .commands = {WriteFixUp()}},
    {.name = "FixUpModelAtRevision100",
     .version = "1.00", .revision = "1.00", .patterns = kFixUpModel, .commands = {WriteFixUp()}},
    {.name = "FixUpAfterTheQuestionAnsweredYes",
     .version = "1.00", .revision = "1.01", .patterns = kFixUpModel, .boxes = {kLaterVersion},
     .commands = {WriteFixUp()}},
    {.name = "NoFixUpWhenTheQuestionIsAnsweredNo",
     .version = "1.00", .revision = "1.01", .patterns = kFixUpModel, .answer = platform::kIdNo,
     .expected = false, .boxes = {kLaterVersion}},
    {.name = "NoFixUpAtRevision102", .version = "1.02", .revision = "1.02",
     .patterns = kFixUpModel},
    {.name = "NoFixUpForAnotherModel", .version = "1.02", .revision = "1.01"},
    {.name = "OnlyTheFirstIdentityItemNamesTheModel",
     .version = "1.02", .revision = "1.01",
     .patterns = "ZORVANT DVD-ROM ZV-120  ;ZORVANT DVDR   ZV-314K  ;"},
    {.name = "NoFixUpWhenTheVersionsAreNotCompared",
     .version = "0.99", .revision = "1.01", .patterns = kFixUpModel},
    {.name = "BoardCheckThenFixUp",
     .pcbCheck = 2, .boardVersion = 2, .version = "1.02", .revision = "1.00",
     .patterns = kFixUpModel, .commands = {ReadBoardRecord(), WriteFixUp()}},
};
// clang-format on

class PreUpdateChecksTest : public testing::TestWithParam<std::tuple<Transport, Case>> {};

TEST_P(PreUpdateChecksTest, DecidesAsksAndSends) {
    const auto& [transport, c] = GetParam();
    sim::DriveDescription description = DefaultDrive();
    description.boardVersion = c.boardVersion;
    if (c.boardReadFails) {
        sim::Fault fault;
        fault.trigger = sim::FaultTrigger::Opcode;
        fault.code = 0xF5;
        fault.every = true;
        fault.sense = {0x05, 0x24, 0x00};
        description.faults.push_back(fault);
    }
    UpdateRig rig(transport, description);
    Config.PcbCheck = c.pcbCheck;
    std::memcpy(Config.Version, c.version, 4);
    std::strcpy(Config.InquiryPatterns, c.patterns);
    std::memcpy(DriveTable[0].Revision, c.revision, 4);
    Lcid = c.japanese ? kLcidJapanese : 1033;
    rig.messages.QueueAnswer(c.answer);

    EXPECT_EQ(CheckBeforeUpdate(), c.expected);

    std::vector<Box> boxes;
    for (const auto& shown : rig.messages.Boxes())
        boxes.push_back({shown.text, shown.title, shown.icon, shown.buttons});
    EXPECT_EQ(boxes, c.boxes);
    EXPECT_EQ(rig.Commands(), c.commands);
    const std::vector<uint8_t> fixUp = rig.Drive().VendorMemory(0x3A, 10);
    const bool fixed = std::memcmp(fixUp.data(), "ZORVANT \x01\x02", 10) == 0;
    EXPECT_EQ(fixed, !c.commands.empty() && c.commands.back() == WriteFixUp());
}

INSTANTIATE_TEST_SUITE_P(BothTransports, PreUpdateChecksTest,
                         testing::Combine(testing::Values(Transport::PassThrough, Transport::Aspi),
                                          testing::ValuesIn(kCases)),
                         [](const testing::TestParamInfo<std::tuple<Transport, Case>>& param) {
                             return testing::PrintToString(std::get<0>(param.param)) + "_" +
                                    std::get<1>(param.param).name;
                         });

// The fix-up's outcome does not hold the update back.
TEST(PreUpdateChecks, AFailingFixUpStillLetsTheUpdateStart) {
    sim::DriveDescription description = DefaultDrive();
    sim::Fault fault;
    fault.trigger = sim::FaultTrigger::Opcode;
    fault.code = 0xF0;
    fault.every = true;
    fault.sense = {0x05, 0x24, 0x00};
    description.faults.push_back(fault);
    UpdateRig rig(Transport::PassThrough, description);
    std::memcpy(Config.Version, "1.02", 4);
    std::strcpy(Config.InquiryPatterns, kFixUpModel);
    std::memcpy(DriveTable[0].Revision, "1.01", 4);

    EXPECT_TRUE(CheckBeforeUpdate());
    EXPECT_EQ(rig.Commands(), std::vector<std::string>{WriteFixUp()});
    EXPECT_TRUE(rig.messages.Boxes().empty());
}

// Before the user interface has registered its message boxes nothing can be asked: the
// text goes to standard error and the question counts as No.
TEST(PreUpdateChecks, WithoutMessageBoxesAQuestionIsNo) {
    UpdateRig rig(Transport::PassThrough, DefaultDrive());
    std::memcpy(Config.Version, "1.04", 4);
    std::memcpy(DriveTable[0].Revision, "1.06", 4);
    platform::Services services = platform::Platform();
    services.Messages = nullptr;
    platform::ScopedServices scoped(services);

    testing::internal::CaptureStderr();
    EXPECT_FALSE(CheckBeforeUpdate());
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("Information - Upgrade Program: Drive has later version"),
              std::string::npos)
        << said;
}

}  // namespace
}  // namespace update_test
