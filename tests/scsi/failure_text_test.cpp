#include <string>

#include <gtest/gtest.h>

#include "scsi/command_status.h"
#include "scsi/failure_text.h"

namespace {

struct FailureCase {
    ScsiResult result;
    uint8_t status;    // SRB_Status
    uint8_t haStat;    // SRB_HaStat
    uint8_t targStat;  // SRB_TargStat
    uint8_t senseKey;  // sense byte 2, whole
    uint8_t asc;
    uint8_t ascq;
    const char* expected;
};

std::ostream& operator<<(std::ostream& out, const FailureCase& c) {
    return out << "result " << c.result << " status " << int(c.status) << " ha " << int(c.haStat)
               << " targ " << int(c.targStat) << " sense " << int(c.senseKey) << "/" << int(c.asc)
               << "/" << int(c.ascq);
}

// clang-format off
const FailureCase kCases[] = {
    // Results with a fixed text; the status record plays no part.
    {-5, 0x04, 0x11, 0x02, 0x09, 0x86, 0x00, "Firmware update failure."},
    {-4, 0, 0, 0, 0, 0, 0, "Firmware compare failure."},
    {-2, 0, 0, 0, 0, 0, 0, "Memory allocation failure."},
    {-1, 0, 0, 0, 0, 0, 0, "Can not create Event."},
    // System error code from the low three bytes, low byte first.
    {-3, 0x5D, 0x04, 0x00, 0, 0, 0, "System error (Win32): Code 1117\n"},
    {-3, 0x56, 0x34, 0x12, 0x09, 0x86, 0x00, "System error (Win32): Code 1193046\n"},
    {-3, 0x00, 0x00, 0x00, 0, 0, 0, "System error (Win32): Code 0\n"},
    // Request status (result 1).
    {1, 0x02, 0, 0, 0, 0, 0, "SRB aborted."},
    {1, 0x03, 0, 0, 0, 0, 0, "Unable to abort SRB."},
    {1, 0x80, 0, 0, 0, 0, 0, "Invalid ASPI command."},
    {1, 0x81, 0, 0, 0, 0, 0, "Invalid host adapter number."},
    {1, 0x82, 0, 0, 0, 0, 0, "SCSI device not installed."},
    {1, 0xE0, 0, 0, 0, 0, 0, "Invalid parameter set in SRB."},
    {1, 0xE1, 0, 0, 0, 0, 0, "Buffer alignment problem."},
    {1, 0xE2, 0, 0, 0, 0, 0, "Device access security violation."},
    {1, 0xE4, 0, 0, 0, 0, 0, "ASPI for windows failed init."},
    {1, 0xE5, 0, 0, 0, 0, 0, "No resources available to execute cmd."},
    {1, 0xE6, 0, 0, 0, 0, 0, "Buffer size to big to handle!"},
    {1, 0xE3, 0, 0, 0, 0, 0, ""},
    {1, 0xE7, 0, 0, 0, 0, 0, ""},
    {1, 0xFF, 0, 0, 0, 0, 0, ""},
    {1, 0x05, 0, 0, 0, 0, 0, ""},
    // Request status SS_ERR reads the sense tables.
    {1, 0x04, 0, 0x02, 0x04, 0x40, 0xF3, "Flash rom write error. (Code 04-40-f3)"},
    {1, 0x04, 0, 0x02, 0x09, 0x82, 0x00, "Erase failure. (Code 09-82-00)"},
    {1, 0x04, 0, 0x02, 0x09, 0x86, 0x01, ""},
    {1, 0x04, 0, 0x02, 0x02, 0x3A, 0x01, ""},
    {1, 0x04, 0, 0x02, 0x29, 0x86, 0x00, ""},
    // Host adapter status (result 2).
    {2, 0x04, 0x09, 0, 0, 0, 0, "HA_Status: Timed out while SRB was waiting to be processed."},
    {2, 0x04, 0x0B, 0, 0, 0, 0, "HA_Status: While processing the SRB, the adapter timed out."},
    {2, 0x04, 0x0D, 0, 0, 0, 0,
     "HA_Status: While processing SRB, the adapter received a MESSAGE REJECT."},
    {2, 0x04, 0x0E, 0, 0, 0, 0, "HA_Status: A bus reset was detected."},
    {2, 0x04, 0x0F, 0, 0, 0, 0, "HA_Status: Parity error."},
    {2, 0x04, 0x10, 0, 0, 0, 0, "HA_Status: The adapter failed in issuing REQUEST SENSE."},
    {2, 0x04, 0x11, 0, 0, 0, 0, "HA_Status: Selection Timeout."},
    {2, 0x04, 0x13, 0, 0, 0, 0, "HA_Status: Unexpected bus free."},
    {2, 0x04, 0x14, 0, 0, 0, 0, "HA_Status: Target bus phase sequence failure."},
    {2, 0x04, 0x0A, 0, 0, 0, 0, "HA_Status: error"},
    {2, 0x04, 0x0C, 0, 0, 0, 0, "HA_Status: error"},
    {2, 0x04, 0xFF, 0, 0, 0, 0, "HA_Status: error"},
    // Target status (result 4), CHECK CONDITION through every sense row.
    {4, 0, 0, 0x02, 0x09, 0x82, 0x00, "Erase failure. (Code 09-82-00)"},
    {4, 0, 0, 0x02, 0x09, 0x84, 0x00, "Flash rom not erased. (Code 09-84-00)"},
    {4, 0, 0, 0x02, 0x09, 0x85, 0x00, "Flash rom write error. (Code 09-85-00)"},
    {4, 0, 0, 0x02, 0x09, 0x86, 0x00, "Flash rom check sum error. (Code 09-86-00)"},
    {4, 0, 0, 0x02, 0x09, 0x87, 0x00, "Firmware data error. (Code 09-87-00)"},
    {4, 0, 0, 0x02, 0x09, 0x88, 0x00, "Firmware Transfer data error. (Code 09-88-00)"},
    {4, 0, 0, 0x02, 0x04, 0x40, 0xF3, "Flash rom write error. (Code 04-40-f3)"},
    {4, 0, 0, 0x02, 0x04, 0x40, 0xF5, "Firmware data error. (Code 04-40-f5)"},
    {4, 0, 0, 0x02, 0x04, 0x40, 0xF6, "Firmware Transfer data error. (Code 04-40-f6)"},
    // Listed keys with unlisted codes give no text; the ASC/ASCQ of one key do not
    // match under the other.
    {4, 0, 0, 0x02, 0x09, 0x86, 0x01, ""},
    {4, 0, 0, 0x02, 0x09, 0x40, 0xF3, ""},
    {4, 0, 0, 0x02, 0x04, 0x86, 0x00, ""},
    {4, 0, 0, 0x02, 0x04, 0x40, 0xF7, ""},
    // Any other sense key byte, flag bits above the key included.
    {4, 0, 0, 0x02, 0x29, 0x86, 0x00, "Target_Status: Check Condition"},
    {4, 0, 0, 0x02, 0x24, 0x40, 0xF3, "Target_Status: Check Condition"},
    {4, 0, 0, 0x02, 0x05, 0x24, 0x00, "Target_Status: Check Condition"},
    {4, 0, 0, 0x08, 0x09, 0x86, 0x00, "Target_Status: BUSY"},
    {4, 0, 0, 0x18, 0x05, 0x00, 0x00, "Target_Status: Reservation Conflict"},
    {4, 0, 0, 0x00, 0x02, 0x3A, 0x00, "Target_Status: error"},
    // A status the target gave without sense data.
    {4, 0, 0, 0x02, 0x00, 0x00, 0x00, "Target_Status: Check Condition"},
    {4, 0, 0, 0x08, 0x00, 0x00, 0x00, "Target_Status: BUSY"},
    {4, 0, 0, 0x18, 0x00, 0x00, 0x00, "Target_Status: Reservation Conflict"},
    {4, 0, 0, 0x28, 0x00, 0x00, 0x00, "Target_Status: error"},
    {4, 0, 0, 0x28, 0x02, 0x00, 0x00, "Target_Status: error"},
    // Values no caller passes leave the string empty.
    {0, 0x04, 0x11, 0x02, 0x09, 0x86, 0x00, ""},
    {3, 0x04, 0x11, 0x02, 0x09, 0x86, 0x00, ""},
    {-6, 0x04, 0x11, 0x02, 0x09, 0x86, 0x00, ""},
};
// clang-format on

class DescribeFailureTest : public ::testing::TestWithParam<FailureCase> {
protected:
    void SetUp() override { saved_ = CommandStatus; }
    void TearDown() override { CommandStatus = saved_; }

private:
    CommandStatusRecord* saved_ = nullptr;
};

TEST_P(DescribeFailureTest, WritesTheTextOfTheOutcomeIntoAnEmptiedString) {
    const FailureCase c = GetParam();
    CommandStatusRecord status{};
    status.SRB_Status = c.status;
    status.SRB_HaStat = c.haStat;
    status.SRB_TargStat = c.targStat;
    status.SenseArea[kSenseKeyByte] = c.senseKey;
    status.SenseArea[kSenseAsc] = c.asc;
    status.SenseArea[kSenseAscq] = c.ascq;
    CommandStatus = &status;

    // The string held the text of an earlier failure.
    std::string text = "Flash rom write error. (Code 09-85-00)";
    DescribeFailure(c.result, text);
    EXPECT_EQ(text, c.expected);
}

INSTANTIATE_TEST_SUITE_P(EveryRow, DescribeFailureTest, ::testing::ValuesIn(kCases));

}  // namespace
