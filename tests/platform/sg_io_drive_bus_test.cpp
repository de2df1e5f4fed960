#include <cerrno>
#include <cstring>

#include <gtest/gtest.h>

#include "platform/linux/sg_io_request.h"

namespace {

using platform::PassThroughBlock;
using platform::linux_os::BuildSgIoHeader;
using platform::linux_os::CommandOfBlock;
using platform::linux_os::ReadSgIoHeader;
using platform::linux_os::ReadSgIoOutcome;

struct HeaderCase {
    uint8_t dataIn;
    uint32_t length;
    uint32_t timeoutSeconds;
    uint8_t cdbLength;
    int direction;
    unsigned expectedLength;
    unsigned timeoutMs;
};

TEST(SgIoHeader, CarriesDirectionCommandDataSenseAndTimeOut) {
    // clang-format off
    const HeaderCase cases[] = {
        {platform::kDataIn, 36, 10, 6, SG_DXFER_FROM_DEV, 36, 10000},
        {platform::kDataOut, 8192, 600, 10, SG_DXFER_TO_DEV, 8192, 600000},
        {platform::kDataOut, 8192, 10, 12, SG_DXFER_TO_DEV, 8192, 10000},
        {platform::kDataUnspecified, 0, 10, 12, SG_DXFER_NONE, 0, 10000},
        // An empty transfer moves no data, whatever the direction.
        {platform::kDataOut, 0, 10, 10, SG_DXFER_NONE, 0, 10000},
        {platform::kDataIn, 0, 10, 10, SG_DXFER_NONE, 0, 10000},
    };
    // clang-format on
    for (const HeaderCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "DataIn " << int(c.dataIn) << " length " << c.length);
        uint8_t data[8192];
        PassThroughBlock block{};
        block.Sptd.Length = 44;
        block.Sptd.DataIn = c.dataIn;
        block.Sptd.DataTransferLength = c.length;
        block.Sptd.DataBuffer = data;
        block.Sptd.TimeOutValue = c.timeoutSeconds;
        block.Sptd.CdbLength = c.cdbLength;
        block.Sptd.SenseInfoLength = 32;
        block.Sptd.Cdb[0] = 0x3B;
        std::memset(block.SenseBuffer, 0x77, sizeof block.SenseBuffer);

        sg_io_hdr_t header;
        std::memset(&header, 0xCC, sizeof header);
        BuildSgIoHeader(CommandOfBlock(block), header);
        EXPECT_EQ(header.interface_id, 'S');
        EXPECT_EQ(header.dxfer_direction, c.direction);
        EXPECT_EQ(header.dxfer_len, c.expectedLength);
        EXPECT_EQ(header.dxferp, c.expectedLength ? data : nullptr);
        EXPECT_EQ(header.cmdp, block.Sptd.Cdb);
        EXPECT_EQ(header.cmd_len, c.cdbLength);
        EXPECT_EQ(header.sbp, block.SenseBuffer);
        EXPECT_EQ(header.mx_sb_len, 32);
        EXPECT_EQ(header.timeout, c.timeoutMs);
        EXPECT_EQ(header.flags, 0u);
        // The header is filled in field by field: nothing of what was there before remains.
        EXPECT_EQ(header.iovec_count, 0);
        EXPECT_EQ(header.pack_id, -1);
        EXPECT_EQ(header.usr_ptr, nullptr);
        EXPECT_EQ(header.status | header.masked_status | header.msg_status | header.sb_len_wr, 0);
        EXPECT_EQ(header.host_status | header.driver_status, 0);
        EXPECT_EQ(header.resid, 0);
        EXPECT_EQ(header.duration | header.info, 0u);
        for (uint8_t byte : block.SenseBuffer) EXPECT_EQ(byte, 0);
    }
}

struct OutcomeCase {
    const char* name;
    int ioctlErrno;
    uint8_t status;
    uint16_t host;
    uint16_t driver;
    bool carriedOut;
    uint32_t systemError;  // when not carried out
};

TEST(SgIoOutcome, MapsKernelResultsToCarriedOutOrASystemError) {
    // clang-format off
    const OutcomeCase cases[] = {
        {"good", 0, 0x00, 0x00, 0x00, true, 0},
        {"check condition with sense", 0, 0x02, 0x00, 0x08, true, 0},
        {"check condition, no sense", 0, 0x02, 0x00, 0x00, true, 0},
        {"busy", 0, 0x08, 0x00, 0x00, true, 0},
        {"sense with a suggestion", 0, 0x02, 0x00, 0x28, true, 0},
        {"ioctl denied", EPERM, 0, 0, 0, false, 5},
        {"ioctl no access", EACCES, 0, 0, 0, false, 5},
        {"ioctl no memory", ENOMEM, 0, 0, 0, false, 8},
        {"ioctl timed out", ETIMEDOUT, 0, 0, 0, false, 121},
        {"ioctl no device", ENODEV, 0, 0, 0, false, 21},
        {"ioctl no such address", ENXIO, 0, 0, 0, false, 21},
        {"ioctl io error", EIO, 0, 0, 0, false, 1117},
        {"ioctl not a scsi node", ENOTTY, 0, 0, 0, false, 1117},
        {"ioctl invalid", EINVAL, 0, 0, 0, false, 1117},
        {"host no connect", 0, 0, 0x01, 0, false, 21},
        {"host bus busy", 0, 0, 0x02, 0, false, 1117},
        {"host time out", 0, 0, 0x03, 0, false, 121},
        {"host bad target", 0, 0, 0x04, 0, false, 21},
        {"host abort", 0, 0, 0x05, 0, false, 1117},
        {"host error", 0, 0, 0x07, 0, false, 1117},
        {"host reset", 0, 0, 0x08, 0, false, 1117},
        {"host transport failfast", 0, 0, 0x0F, 0, false, 21},
        {"host alloc failure", 0, 0, 0x12, 0, false, 8},
        {"host time out with sense", 0, 0x02, 0x03, 0x08, false, 121},
        {"driver busy", 0, 0, 0, 0x01, false, 1117},
        {"driver error", 0, 0, 0, 0x04, false, 1117},
        {"driver timeout", 0, 0, 0, 0x06, false, 121},
        {"driver hard", 0, 0, 0, 0x07, false, 1117},
    };
    // clang-format on
    for (const OutcomeCase& c : cases) {
        SCOPED_TRACE(c.name);
        PassThroughBlock block{};
        sg_io_hdr_t header{};
        header.status = c.status;
        header.host_status = c.host;
        header.driver_status = c.driver;
        uint32_t systemError = 0xFFFF;
        EXPECT_EQ(ReadSgIoOutcome(ReadSgIoHeader(c.ioctlErrno, header), block, &systemError),
                  c.carriedOut);
        if (c.carriedOut) {
            EXPECT_EQ(block.Sptd.ScsiStatus, c.status);
            EXPECT_EQ(systemError, 0xFFFFu);
        } else {
            EXPECT_EQ(systemError, c.systemError);
        }
    }
}

}  // namespace
