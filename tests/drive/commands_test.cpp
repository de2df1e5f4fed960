// Every command's block, length, direction and transfer as each transport hands them on,
// and its result as the transport reported it.
#include <gtest/gtest.h>

#include <functional>
#include <numeric>
#include <optional>
#include <tuple>
#include <vector>

#include "drive/commands.h"
#include "fake_aspi_manager.h"
#include "platform/platform.h"
#include "platform/substitute/scripted_drive_bus.h"
#include "program_state.h"

namespace {

using platform::substitute::ScriptedDriveBus;

constexpr size_t kLargestTransfer = 0x10000;

struct CommandCase {
    const char* name;
    uint8_t atapi;
    uint8_t melcoInquiry;
    // Sends the command; `in` has room for kLargestTransfer bytes, `out` holds as many.
    std::function<ScsiResult(const DriveEntry&, uint8_t* in, const uint8_t* out)> send;
    std::vector<uint8_t> cdb;
    uint8_t dataIn;  // direction of the pass-through request
    uint32_t transferLength;
};

const std::vector<CommandCase>& Cases() {
    using platform::kDataIn;
    using platform::kDataOut;
    using platform::kDataUnspecified;
    // clang-format off
    static const std::vector<CommandCase> cases = {
        {"Inquiry", 0, 0, [](auto& e, auto* in, auto*) { return Inquiry(e, in, 36); },
         {0x12, 0, 0, 0, 0x24, 0}, kDataIn, 36},
        {"InquiryMelco", 0, 1, [](auto& e, auto* in, auto*) { return Inquiry(e, in, 36); },
         {0x13, 0, 0, 0, 0x24, 0}, kDataIn, 36},
        {"InquiryOtherOptionValue", 0, 2,
         [](auto& e, auto* in, auto*) { return Inquiry(e, in, 36); },
         {0x12, 0, 0, 0, 0x24, 0}, kDataIn, 36},
        {"InquiryAtapi", 1, 0, [](auto& e, auto* in, auto*) { return Inquiry(e, in, 36); },
         {0x12, 0, 0, 0, 0x24, 0, 0, 0, 0, 0, 0, 0}, kDataIn, 36},
        {"InquiryLengthLowByteOnly", 0, 0,
         [](auto& e, auto* in, auto*) { return Inquiry(e, in, 0x124); },
         {0x12, 0, 0, 0, 0x24, 0}, kDataIn, 0x24},
        {"TestUnitReady", 0, 0, [](auto& e, auto*, auto*) { return TestUnitReady(e); },
         {0, 0, 0, 0, 0, 0}, kDataUnspecified, 0},
        {"TestUnitReadyAtapi", 1, 0, [](auto& e, auto*, auto*) { return TestUnitReady(e); },
         std::vector<uint8_t>(12, 0), kDataUnspecified, 0},
        {"WriteBufferChunk", 0, 0,
         [](auto& e, auto*, auto* out) { return WriteBuffer(e, out, 8192, 73728, 4, 0); },
         {0x3B, 0x04, 0x00, 0x01, 0x20, 0x00, 0x00, 0x20, 0x00, 0x00}, kDataOut, 8192},
        {"WriteBufferAtapi", 1, 0,
         [](auto& e, auto*, auto* out) { return WriteBuffer(e, out, 8192, 73728, 5, 0); },
         {0x3B, 0x05, 0x00, 0x01, 0x20, 0x00, 0x00, 0x20, 0x00, 0x00, 0x00, 0x00}, kDataOut,
         8192},
        {"WriteBufferEmptyWithoutData", 0, 0,
         [](auto& e, auto*, auto*) { return WriteBuffer(e, nullptr, 0, 0, 0, 0x80); },
         {0x3B, 0x00, 0x80, 0, 0, 0, 0, 0, 0, 0}, kDataOut, 0},
        {"WriteBufferWholeModeByteOffsetBitsAbove23Dropped", 0, 0,
         [](auto& e, auto*, auto* out) { return WriteBuffer(e, out, 7, 0x01003400, 0xE5, 0x81); },
         {0x3B, 0xE5, 0x81, 0x00, 0x34, 0x00, 0x00, 0x00, 0x07, 0x00}, kDataOut, 7},
        {"ReadBufferVersion", 0, 0,
         [](auto& e, auto* in, auto*) { return ReadBuffer(e, in, 7, 0, 0, 0x84); },
         {0x3C, 0x00, 0x84, 0, 0, 0, 0, 0, 0x07, 0}, kDataIn, 7},
        {"ReadBufferAtapi", 1, 0,
         [](auto& e, auto* in, auto*) { return ReadBuffer(e, in, 0x1234, 0xFF003400, 2, 0x81); },
         {0x3C, 0x02, 0x81, 0x00, 0x34, 0x00, 0x00, 0x12, 0x34, 0x00, 0x00, 0x00}, kDataIn,
         0x1234},
        {"StartStopUnitOpenTray", 0, 0, [](auto& e, auto*, auto*) { return StartStopUnit(e, 2, 0); },
         {0x1B, 0, 0, 0, 0x02, 0}, kDataUnspecified, 0},
        {"StartStopUnitFieldsMasked", 0, 0,
         [](auto& e, auto*, auto*) { return StartStopUnit(e, 0xFE, 0xFF); },
         {0x1B, 0x01, 0, 0, 0x02, 0}, kDataUnspecified, 0},
        {"StartStopUnitAtapi", 1, 0, [](auto& e, auto*, auto*) { return StartStopUnit(e, 2, 0); },
         {0x1B, 0, 0, 0, 0x02, 0, 0, 0, 0, 0, 0, 0}, kDataUnspecified, 0},
        {"ReadBoardInfo", 0, 0,
         [](auto& e, auto* in, auto*) { return ReadBoardInfo(e, in, 16, 0xF8048); },
         {0xF5, 0x00, 0x00, 0x00, 0x00, 0x0F, 0x80, 0x48, 0x00, 0x10, 0x00, 0x00}, kDataIn, 16},
        {"ReadBoardInfoAllAddressBytes", 1, 0,
         [](auto& e, auto* in, auto*) { return ReadBoardInfo(e, in, 0xFFFF, 0x12345678); },
         {0xF5, 0x00, 0x00, 0x00, 0x12, 0x34, 0x56, 0x78, 0xFF, 0xFF, 0x00, 0x00}, kDataIn,
         0xFFFF},
        {"WriteVendorData", 0, 0,
         [](auto& e, auto*, auto* out) { return WriteVendorData(e, out, 10, 0x3A); },
         {0xF0, 0x00, 0x00, 0x00, 0x00, 0x3A, 0x00, 0x00, 0x00, 0x0A, 0x00, 0x00}, kDataOut, 10},
        {"WriteVendorDataAllAddressBytes", 0, 0,
         [](auto& e, auto*, auto* out) { return WriteVendorData(e, out, 0x0102, 0xA1B2C3D4); },
         {0xF0, 0x00, 0xA1, 0xB2, 0xC3, 0xD4, 0x00, 0x00, 0x01, 0x02, 0x00, 0x00}, kDataOut,
         0x0102},
    };
    // clang-format on
    return cases;
}

enum class Transport { PassThrough, Aspi };

// What reached the transport's lower end, whichever it was.
struct Sent {
    std::vector<uint8_t> cdb;
    uint8_t direction;  // as a pass-through DataIn value
    uint32_t transferLength;
    std::vector<uint8_t> dataOut;
};

class CommandTest : public testing::TestWithParam<std::tuple<CommandCase, Transport>> {
protected:
    const CommandCase& Case() const { return std::get<0>(GetParam()); }
    bool Aspi() const { return std::get<1>(GetParam()) == Transport::Aspi; }

    void SetUp() override {
        drive_test::ResetProgramState(Aspi() ? 0 : 1);
        Config.MelcoInquiry = Case().melcoInquiry;
        entry_.Atapi = Case().atapi;
        outgoing_.resize(kLargestTransfer);
        std::iota(outgoing_.begin(), outgoing_.end(), uint8_t{1});
        driveData_.resize(kLargestTransfer);
        std::iota(driveData_.begin(), driveData_.end(), uint8_t{0x80});
        incoming_.assign(kLargestTransfer, 0);

        if (Aspi()) {
            entry_.HaId = 1;
            entry_.Target = 3;
            entry_.AlignMask = 3;
            aspi_.adapters.resize(2);
            aspi_.adapters[1].targets[3].dataIn = driveData_;
            fakeAspi_.emplace(aspi_);
            ASSERT_TRUE(fakeAspi_->Opened());
        } else {
            entry_.DriveLetter[0] = 'E';
            bus_.SetDrive('E', {});
            bus_.DefaultAnswer.dataIn = driveData_;
        }
    }

    ScsiResult Send() {
        const platform::ScopedService drives(&platform::Services::Drives, &bus_);
        return Case().send(entry_, incoming_.data(), outgoing_.data());
    }

    size_t SentCount() const { return Aspi() ? aspi_.executed.size() : bus_.Requests().size(); }

    Sent LastSent() const {
        if (!Aspi()) {
            const auto& request = bus_.Requests().back();
            EXPECT_EQ(request.sptd.CdbLength, request.cdb.size());
            return {request.cdb, request.sptd.DataIn, request.sptd.DataTransferLength,
                    request.dataOut};
        }
        const SRB_ExecSCSICmd& srb = aspi_.executed.back().request;
        EXPECT_EQ(srb.SRB_HaId, 1);
        EXPECT_EQ(srb.SRB_Target, 3);
        EXPECT_TRUE(srb.SRB_Flags & SRB_EVENT_NOTIFY);
        const uint8_t direction = srb.SRB_Flags & (SRB_DIR_IN | SRB_DIR_OUT);
        return {std::vector<uint8_t>(srb.CDBByte, srb.CDBByte + srb.SRB_CDBLen),
                direction == SRB_DIR_IN    ? platform::kDataIn
                : direction == SRB_DIR_OUT ? platform::kDataOut
                                           : platform::kDataUnspecified,
                srb.SRB_BufLen, aspi_.executed.back().dataOut};
    }

    ScriptedDriveBus bus_;
    drive_test::FakeAspiManager aspi_;
    std::optional<drive_test::ScopedFakeAspi> fakeAspi_;
    DriveEntry entry_{};
    std::vector<uint8_t> outgoing_;
    std::vector<uint8_t> driveData_;
    std::vector<uint8_t> incoming_;
};

TEST_P(CommandTest, SendsItsBlockDirectionAndTransfer) {
    const CommandCase& c = Case();
    const std::vector<uint8_t> outgoingBefore = outgoing_;

    EXPECT_EQ(Send(), kScsiOk);

    ASSERT_EQ(SentCount(), 1u);
    const Sent sent = LastSent();
    EXPECT_EQ(sent.cdb, c.cdb);
    EXPECT_EQ(sent.direction, c.dataIn);
    EXPECT_EQ(sent.transferLength, c.transferLength);
    if (c.dataIn == platform::kDataOut) {
        // The drive gets the caller's bytes, and the caller's buffer is left alone.
        EXPECT_EQ(sent.dataOut,
                  std::vector<uint8_t>(outgoing_.begin(), outgoing_.begin() + c.transferLength));
        EXPECT_EQ(outgoing_, outgoingBefore);
    }
    if (c.dataIn == platform::kDataIn) {
        // The drive's answer lands in the caller's buffer, and nothing beyond the transfer.
        EXPECT_TRUE(std::equal(incoming_.begin(), incoming_.begin() + c.transferLength,
                               driveData_.begin()));
        EXPECT_EQ(incoming_[c.transferLength], 0);
    }
}

TEST_P(CommandTest, ReturnsTheTransportResultUnchanged) {
    if (Aspi()) {
        aspi_.queuedOutcomes.push_back(
            {.status = SS_ERR, .haStat = 0, .targStat = 2, .senseKey = 5});
        EXPECT_EQ(Send(), kScsiTargetError);
        aspi_.queuedOutcomes.push_back(
            {.status = SS_ERR, .haStat = HASTAT_SEL_TO, .targStat = 0, .senseKey = 0});
        EXPECT_EQ(Send(), kScsiAdapterError);
    } else {
        ScriptedDriveBus::Answer checkCondition;
        checkCondition.scsiStatus = 2;
        checkCondition.sense = {0x70, 0, 0x05, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x24};
        bus_.QueueAnswer(checkCondition);
        EXPECT_EQ(Send(), kScsiTargetError);
        ScriptedDriveBus::Answer failed;
        failed.carriedOut = false;
        failed.systemError = platform::kErrorSemTimeout;
        bus_.QueueAnswer(failed);
        EXPECT_EQ(Send(), kScsiSystemError);
    }
    // Nothing is retried: one request per call.
    EXPECT_EQ(SentCount(), 2u);
}

void PrintTo(const CommandCase& c, std::ostream* os) { *os << c.name; }

std::string CaseName(const testing::TestParamInfo<std::tuple<CommandCase, Transport>>& caseInfo) {
    return std::string(std::get<0>(caseInfo.param).name) +
           (std::get<1>(caseInfo.param) == Transport::Aspi ? "_Aspi" : "_PassThrough");
}

INSTANTIATE_TEST_SUITE_P(AllCommands, CommandTest,
                         testing::Combine(testing::ValuesIn(Cases()),
                                          testing::Values(Transport::PassThrough, Transport::Aspi)),
                         CaseName);

}  // namespace
