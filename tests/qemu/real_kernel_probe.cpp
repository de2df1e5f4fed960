// Runs the real drive paths against a real kernel SCSI stack: meant to run inside a small
// virtual machine whose only SCSI device is the kernel's scsi_debug CD/DVD target (loaded
// with ptype=5, sg and sr_mod present), so it becomes sr0 with its generic node beside it.
//
// Two parts, each through the program's own code:
//   pass-through: the drive-letter map from sysfs, discovery by drive letter, and command
//                 blocks with no data, data in and data out through PassThroughExecute
//                 (SG_IO on the drive's node);
//   ASPI:         the ASPI manager library loaded with dlopen from beside this executable,
//                 its entry points called directly (support info, host adapter inquiry,
//                 device type, an execute request completed through its event), then
//                 discovery over the adapters and the same command blocks through
//                 AspiExecute.
//
// Every verdict is one line "PASS: ..." or "FAIL: ..."; other lines report what the drive
// answered. The exit code is the number of failures (capped at 100).
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "aspi/aspi_interface.h"
#include "config/update_config.h"
#include "drive/commands.h"
#include "drive/discovery.h"
#include "platform/linux/sysfs_optical_drives.h"
#include "platform/platform.h"
#include "scsi/aspi_execute.h"
#include "scsi/aspi_library.h"
#include "scsi/aspi_transport.h"
#include "scsi/command_status.h"
#include "scsi/drive_entry.h"
#include "scsi/exec_scsi_command.h"
#include "scsi/pass_through_transport.h"

namespace {

// What scsi_debug reports by default in INQUIRY bytes 8 to 31 (vendor and product, blank
// padded) and byte 0 with ptype=5.
constexpr char kDebugVendor[] = "Linux   ";
constexpr char kDebugProduct[] = "scsi_debug      ";
constexpr uint8_t kCdromDevice = 5;
constexpr unsigned kScsiGenericMajor = 21;

constexpr uint8_t kIllegalRequest = 0x05;
constexpr uint8_t kUnitAttention = 0x06;
constexpr uint8_t kInvalidOpcodeAsc = 0x20;
constexpr uint8_t kCheckCondition = 0x02;

int failures = 0;

void Verdict(bool passed, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Verdict(bool passed, const char* format, ...) {
    if (!passed) ++failures;
    std::printf("%s: ", passed ? "PASS" : "FAIL");
    va_list arguments;
    va_start(arguments, format);
    std::vprintf(format, arguments);
    va_end(arguments);
    std::printf("\n");
    std::fflush(stdout);
}

std::string Printable(const uint8_t* bytes, size_t length) {
    std::string text;
    for (size_t i = 0; i < length; ++i)
        text.push_back(bytes[i] >= 0x20 && bytes[i] < 0x7F ? static_cast<char>(bytes[i]) : '.');
    return text;
}

// "status=.. ha=.. targ=.. sense=KK/AA/QQ" from the outcome record of the last command.
std::string Outcome() {
    char text[96];
    std::snprintf(text, sizeof text, "srb_status=%02X ha=%02X targ=%02X sense=%02X/%02X/%02X",
                  CommandStatus->SRB_Status, CommandStatus->SRB_HaStat,
                  CommandStatus->SRB_TargStat, CommandStatus->SenseArea[kSenseKeyByte],
                  CommandStatus->SenseArea[kSenseAsc], CommandStatus->SenseArea[kSenseAscq]);
    return text;
}

bool IsDebugIdentity(const uint8_t* inquiry) {
    return inquiry[0] == kCdromDevice && std::memcmp(inquiry + 8, kDebugVendor, 8) == 0 &&
           std::memcmp(inquiry + 16, kDebugProduct, 16) == 0;
}

using Execute = ScsiResult (*)(const DriveEntry&, uint8_t*, uint32_t, const uint8_t*, uint8_t,
                               uint8_t);

// TEST UNIT READY until the drive has no more unit attentions to report (at most five),
// printing each; true when it ends ready.
bool SettleUnitAttentions(const char* transport, Execute execute, const DriveEntry& entry) {
    const uint8_t testUnitReady[12] = {0x00};
    for (int i = 0; i < 5; ++i) {
        const ScsiResult result = execute(entry, nullptr, 0, testUnitReady, 6, kDirNone);
        std::printf("  %s TEST UNIT READY -> %d %s\n", transport, result, Outcome().c_str());
        if (result == kScsiOk) return true;
    }
    return false;
}

// scsi_debug's run-time fault switches: with every_nth 1 and opts 4 it ignores every
// command, so the kernel times the command out and aborts it.
bool WriteDebugOption(const char* name, const char* value) {
    const std::string path = std::string("/sys/bus/pseudo/drivers/scsi_debug/") + name;
    FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) return false;
    const bool written = std::fputs(value, file) >= 0;
    return std::fclose(file) == 0 && written;
}

bool IgnoreCommands(bool ignore) {
    if (ignore) return WriteDebugOption("every_nth", "1") && WriteDebugOption("opts", "4");
    return WriteDebugOption("opts", "0") && WriteDebugOption("every_nth", "0");
}

// A TEST UNIT READY that the target never answers; returns its result, or 99 when the
// fault could not be switched on.
ScsiResult UnansweredTestUnitReady(const char* transport, Execute execute,
                                   const DriveEntry& entry) {
    std::printf("  %s: scsi_debug now ignores commands; waiting for the kernel's time-out\n",
                transport);
    if (!IgnoreCommands(true)) {
        IgnoreCommands(false);
        return 99;
    }
    const uint8_t testUnitReady[12] = {0x00};
    const ScsiResult result = execute(entry, nullptr, 0, testUnitReady, 6, kDirNone);
    const bool restored = IgnoreCommands(false);
    std::printf("  %s TEST UNIT READY, unanswered -> %d %s%s\n", transport, result,
                Outcome().c_str(), restored ? "" : " (fault NOT switched off)");
    return result;
}

// The same command blocks through either transport: no data, data in, data out, and a
// command the target rejects.
void SendCommandBlocks(const char* transport, Execute execute, const DriveEntry& entry) {
    std::printf("-- %s: command blocks\n", transport);
    SettleUnitAttentions(transport, execute, entry);

    const uint8_t testUnitReady[12] = {0x00};
    ScsiResult result = execute(entry, nullptr, 0, testUnitReady, 6, kDirNone);
    Verdict(result == kScsiOk && CommandStatus->SRB_TargStat == 0,
            "%s TEST UNIT READY (no data) returns 0 (got %d, %s)", transport, result,
            Outcome().c_str());

    uint8_t inquiry[36] = {};
    const uint8_t inquiryCdb[12] = {0x12, 0, 0, 0, sizeof inquiry, 0};
    result = execute(entry, inquiry, sizeof inquiry, inquiryCdb, 6, kDirIn);
    std::printf("  %s INQUIRY data: type=%02X byte3=%02X \"%s\"\n", transport, inquiry[0],
                inquiry[3], Printable(inquiry + 8, 28).c_str());
    Verdict(result == kScsiOk && IsDebugIdentity(inquiry),
            "%s INQUIRY (data in) returns 0 with scsi_debug's CD/DVD identity (got %d, %s)",
            transport, result, Outcome().c_str());

    // Mode 4 (download microcode), buffer 0, offset 0: one small chunk.
    uint8_t chunk[16];
    for (size_t i = 0; i < sizeof chunk; ++i) chunk[i] = static_cast<uint8_t>(0xA0 + i);
    const uint8_t writeBufferCdb[12] = {0x3B, 0x04, 0x00, 0, 0, 0, 0, 0, sizeof chunk, 0};
    result = execute(entry, chunk, sizeof chunk, writeBufferCdb, 10, kDirOut);
    std::printf("  %s WRITE BUFFER mode 4, 16 bytes -> %d %s\n", transport, result,
                Outcome().c_str());
    // Either answer is the target's own: accepted, or refused with sense data. A local or
    // system failure (negative) means the request never got through the kernel.
    Verdict(result == kScsiOk ||
                (result == kScsiTargetError && CommandStatus->SenseArea[kSenseKeyByte] != 0),
            "%s WRITE BUFFER (data out) reaches the target and is answered by it (got %d)",
            transport, result);
    if (result == kScsiOk) {
        // scsi_debug answers a microcode download with unit attentions on its next
        // commands; the first is reported as a target error with its sense key byte.
        const ScsiResult next = execute(entry, nullptr, 0, testUnitReady, 6, kDirNone);
        Verdict(next == kScsiTargetError &&
                    CommandStatus->SenseArea[kSenseKeyByte] == kUnitAttention &&
                    CommandStatus->SRB_TargStat == kCheckCondition,
                "%s TEST UNIT READY after the download reports the unit attention as 4 with "
                "sense key 06 (got %d, %s)",
                transport, next, Outcome().c_str());
    }
    Verdict(SettleUnitAttentions(transport, execute, entry),
            "%s drive is ready again after its unit attentions", transport);

    // A vendor opcode scsi_debug does not know: the board record read of the command set.
    uint8_t board[16] = {};
    result = ReadBoardInfo(entry, board, sizeof board, 0xF8048);
    Verdict(result == kScsiTargetError && CommandStatus->SRB_TargStat == kCheckCondition &&
                CommandStatus->SenseArea[kSenseKeyByte] == kIllegalRequest &&
                CommandStatus->SenseArea[kSenseAsc] == kInvalidOpcodeAsc,
            "%s vendor command 0xF5 is refused: 4 with sense 05/20 (got %d, %s)", transport,
            result, Outcome().c_str());
}

// ---- pass-through --------------------------------------------------------------------

void PassThroughPart() {
    std::printf("== pass-through (SG_IO on the drive's node)\n");
    UsePassThrough = 1;

    const auto drives = platform::linux_os::FindOpticalDrives("/sys", "/dev");
    std::string letters;
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        if (platform::Platform().Drives->DriveType(letter) == platform::kDriveCdrom)
            letters.push_back(letter);
    }
    for (size_t i = 0; i < drives.size(); ++i)
        std::printf("  drive %c: %s -> %s\n", static_cast<char>('D' + i),
                    drives[i].blockName.c_str(), drives[i].devicePath.c_str());
    std::printf("  letters reported as CD-ROM: \"%s\"\n", letters.c_str());

    struct stat node {};
    const bool isGeneric = drives.size() == 1 && stat(drives[0].devicePath.c_str(), &node) == 0 &&
                           S_ISCHR(node.st_mode) && major(node.st_rdev) == kScsiGenericMajor;
    Verdict(letters == "D" && drives.size() == 1 && drives[0].blockName == "sr0" && isGeneric,
            "drive-letter map: D: is sr0, opened through a SCSI generic node (char major %u)",
            kScsiGenericMajor);

    const uint32_t found = DiscoverDrives();
    for (uint32_t i = 0; i < found; ++i)
        std::printf("  discovered: \"%s\" revision \"%s\" atapi=%u\n", DriveTable[i].DisplayText,
                    Printable(reinterpret_cast<const uint8_t*>(DriveTable[i].Revision), 4).c_str(),
                    DriveTable[i].Atapi);
    const std::string expectedStart = std::string("D:\\ [") + kDebugVendor + kDebugProduct + " ";
    Verdict(found == 1 && std::string(DriveTable[0].DisplayText).rfind(expectedStart, 0) == 0,
            "pass-through discovery finds exactly the scsi_debug drive (found %u)", found);
    if (found == 0) return;

    const DriveEntry entry = DriveTable[0];
    platform::DriveBus& bus = *platform::Platform().Drives;
    const platform::DriveHandle handle = bus.Open('D', true);
    uint32_t mask = 0;
    const bool hasMask = handle != platform::kInvalidDrive && bus.QueryAlignmentMask(handle, &mask);
    if (handle != platform::kInvalidDrive) bus.Close(handle);
    Verdict(handle != platform::kInvalidDrive && hasMask,
            "D: opens read-write and its alignment mask is read from sysfs (mask %08X)", mask);

    SendCommandBlocks("pass-through", PassThroughExecute, entry);

    // A request the kernel gives up on is a failed request with the time-out's system
    // error code (121), not an answer of the drive.
    const ScsiResult unanswered = UnansweredTestUnitReady("pass-through", PassThroughExecute, entry);
    const uint32_t code = CommandStatus->SRB_Status | (CommandStatus->SRB_HaStat << 8) |
                          (CommandStatus->SRB_TargStat << 16);
    Verdict(unanswered == kScsiSystemError && code == platform::kErrorSemTimeout,
            "pass-through command timed out by the kernel returns -3 with system error 121 "
            "(got %d, code %u)",
            unanswered, code);
    Verdict(SettleUnitAttentions("pass-through", PassThroughExecute, entry),
            "pass-through drive answers again after the time-out");

    DriveEntry missing = entry;
    missing.DriveLetter[0] = 'E';
    const uint8_t testUnitReady[12] = {0x00};
    const ScsiResult result = PassThroughExecute(missing, nullptr, 0, testUnitReady, 6, kDirNone);
    Verdict(result == kScsiNoSystemObject,
            "pass-through to E:, where there is no drive, returns -1 (got %d)", result);
}

// ---- ASPI manager --------------------------------------------------------------------

// An INQUIRY execute request sent straight to the manager's entry point and completed
// through its event, as any ASPI client would send it.
void RawAspiInquiry(uint8_t adapter, uint8_t target) {
    const int event = eventfd(0, EFD_CLOEXEC);
    if (event < 0) {
        Verdict(false, "ASPI raw INQUIRY: no eventfd");
        return;
    }
    uint8_t data[36] = {};
    SRB_ExecSCSICmd request{};
    request.SRB_Cmd = SC_EXEC_SCSI_CMD;
    request.SRB_HaId = adapter;
    request.SRB_Flags = SRB_DIR_IN | SRB_EVENT_NOTIFY;
    request.SRB_Target = target;
    request.SRB_BufLen = sizeof data;
    request.SRB_BufPointer = data;
    request.SRB_SenseLen = SENSE_LEN;
    request.SRB_CDBLen = 6;
    request.SRB_PostProc = reinterpret_cast<void*>(static_cast<intptr_t>(event));
    const uint8_t cdb[6] = {0x12, 0, 0, 0, sizeof data, 0};
    std::memcpy(request.CDBByte, cdb, sizeof cdb);

    // As with any ASPI manager, the event is waited for only while the request is pending.
    const uint32_t sent = TheAspiLibrary.SendCommand(&request);
    bool signalled = false;
    if (sent == SS_PENDING) {
        pollfd waiting{event, POLLIN, 0};
        uint64_t count = 0;
        signalled = poll(&waiting, 1, 10000) == 1 && read(event, &count, sizeof count) == sizeof count;
    }
    const uint8_t status =
        std::atomic_ref<uint8_t>(request.SRB_Status).load(std::memory_order_acquire);
    std::printf("  raw execute: SendASPI32Command -> %02X, event %s, SRB_Status=%02X ha=%02X "
                "targ=%02X data \"%s\"\n",
                sent, signalled ? "signalled" : "NOT signalled", status, request.SRB_HaStat,
                request.SRB_TargStat, Printable(data + 8, 28).c_str());
    Verdict(signalled && status == SS_COMP && request.SRB_TargStat == 0 && IsDebugIdentity(data),
            "ASPI raw INQUIRY execute request completes through its event with scsi_debug's "
            "identity");
    close(event);
}

void AspiPart() {
    std::printf("== ASPI manager (%s loaded with dlopen)\n", kAspiLibraryName);
    UsePassThrough = 0;
    if (AspiOpen() != 1) {
        Verdict(false, "ASPI manager library loads from beside the probe");
        return;
    }
    Verdict(true, "ASPI manager library loads from beside the probe");

    const uint32_t support = TheAspiLibrary.GetSupportInfo();
    std::printf("  GetASPI32SupportInfo -> %08X\n", support);
    Verdict(((support >> 8) & 0xFF) == SS_COMP && (support & 0xFF) == 1,
            "GetASPI32SupportInfo: SS_COMP and one host adapter");

    SRB_HAInquiry* answer = nullptr;
    const int haResult = AspiHostAdapterInquiry(0, &answer);
    std::printf("  HA inquiry 0: status=%02X count=%u manager=\"%s\" identifier=\"%s\" "
                "unique[0..3]=%02X %02X %02X %02X\n",
                answer->SRB_Status, answer->HA_Count, Printable(answer->HA_ManagerId, 16).c_str(),
                Printable(answer->HA_Identifier, 16).c_str(), answer->HA_Unique[0],
                answer->HA_Unique[1], answer->HA_Unique[2], answer->HA_Unique[3]);
    Verdict(haResult == 0 && answer->HA_Count == 1 &&
                std::memcmp(answer->HA_Identifier, "scsi_debug", 10) == 0,
            "HA inquiry: one adapter, identified as the scsi_debug host");

    DriveEntry entry{};
    uint8_t type = 0xFF;
    const int typeResult = AspiGetDeviceType(entry, &type);
    Verdict(typeResult == 0 && type == kCdromDevice,
            "device type of (0,0,0) is 5, CD/DVD (got %d, type %u)", typeResult, type);
    DriveEntry absent{};
    absent.Target = 1;
    Verdict(AspiGetDeviceType(absent, &type) != 0, "no device at (0,1,0)");

    RawAspiInquiry(0, 0);

    const uint32_t found = DiscoverDrives();
    for (uint32_t i = 0; i < found; ++i)
        std::printf("  discovered: \"%s\" align=%08X atapi=%u\n", DriveTable[i].DisplayText,
                    DriveTable[i].AlignMask, DriveTable[i].Atapi);
    const std::string expectedStart = std::string("(0,0) ") + kDebugVendor + kDebugProduct + " ";
    Verdict(found == 1 && std::string(DriveTable[0].DisplayText).rfind(expectedStart, 0) == 0,
            "ASPI discovery finds exactly the scsi_debug drive (found %u)", found);
    if (found == 1) {
        const DriveEntry& drive = DriveTable[0];
        SendCommandBlocks("ASPI", AspiExecute, drive);
        // The manager reports a command the kernel timed out as an adapter time-out.
        const ScsiResult unanswered = UnansweredTestUnitReady("ASPI", AspiExecute, drive);
        Verdict(unanswered == kScsiAdapterError && CommandStatus->SRB_Status == SS_ERR &&
                    CommandStatus->SRB_HaStat == HASTAT_COMMAND_TIMEOUT,
                "ASPI command timed out by the kernel returns 2 with SS_ERR and "
                "HASTAT_COMMAND_TIMEOUT (got %d, %s)",
                unanswered, Outcome().c_str());
        Verdict(SettleUnitAttentions("ASPI", AspiExecute, drive),
                "ASPI drive answers again after the time-out");
    }
    AspiClose();
}

}  // namespace

int main() {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::memset(&Config, 0, sizeof Config);
    const std::string patterns = std::string(kDebugVendor) + kDebugProduct + ";";
    std::memcpy(Config.InquiryPatterns, patterns.c_str(), patterns.size() + 1);
    std::printf("probe: identity list \"%s\"\n", Config.InquiryPatterns);

    PassThroughPart();
    AspiPart();

    std::printf("probe: %d failure(s)\n", failures);
    return failures > 100 ? 100 : failures;
}
