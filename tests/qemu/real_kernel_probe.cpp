// Runs the real drive paths against a real kernel SCSI stack: meant to run inside the small
// virtual machine that scripts/qemu-real-kernel-check.sh boots, with three kinds of optical
// drive (tests/qemu/guest_drives.h): the kernel's scsi_debug target, QEMU's ATAPI drive on
// AHCI (libata) and QEMU's SCSI CD drive on virtio-scsi.
//
// Two parts, each through the program's own code (discovery and the drive command set):
//   pass-through: the drive-letter map from sysfs, discovery by drive letter, and commands
//                 through SG_IO on each drive's node;
//   ASPI:         the ASPI manager library loaded with dlopen from beside this executable,
//                 its entry points called directly, then discovery over its adapters and
//                 the same commands.
// For every drive on both transports: discovery and the display text, INQUIRY with the
// ATAPI flag and the command block length it implies, TEST UNIT READY. On scsi_debug: a
// microcode download and the unit attentions after it, a refused vendor command, a command
// the kernel times out, a signal while a command waits in the kernel, and last an update by
// the program's update worker. On each QEMU drive a part owns: a refused WRITE BUFFER, TEST
// UNIT READY with the tray opened by the host, and removal of the drive by the host in the
// middle of a run of commands.
//
// Every verdict is one line "PASS: ..." or "FAIL: ..."; other lines report what the drive
// answered. The exit code is the number of failures (capped at 100).
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "config/update_config.h"
#include "drive/commands.h"
#include "drive/discovery.h"
#include "platform/linux/sysfs_optical_drives.h"
#include "platform/platform.h"
#include "scsi/aspi_execute.h"
#include "scsi/aspi_library.h"
#include "scsi/aspi_transport.h"
#include "scsi/command_run.h"
#include "scsi/command_status.h"
#include "scsi/drive_entry.h"
#include "scsi/exec_scsi_command.h"
#include "scsi/failure_text.h"
#include "scsi/pass_through_transport.h"
#include "tests/qemu/benchmark.h"
#include "tests/qemu/guest_drives.h"
#include "tests/qemu/probe_report.h"
#include "tests/qemu/signal_check.h"
#include "tests/qemu/update_check.h"

namespace {

constexpr uint8_t kCdromDevice = 5;
constexpr unsigned kScsiGenericMajor = 21;

constexpr uint8_t kNotReady = 0x02;
constexpr uint8_t kIllegalRequest = 0x05;
constexpr uint8_t kUnitAttention = 0x06;
constexpr uint8_t kMediumNotPresentAsc = 0x3A;
constexpr uint8_t kInvalidOpcodeAsc = 0x20;
constexpr uint8_t kCheckCondition = 0x02;

// What the program tells the user about a command the drive refused with CHECK CONDITION
// and a sense key that has no text of its own.
constexpr char kCheckConditionText[] = "Target_Status: Check Condition";

// The longest a command to a vanished drive may take before the probe calls it hung: the
// kernel's time-out for every command but the final WRITE BUFFER (10 s), with room for the
// error handler.
constexpr int64_t kHangMs = 15 * 1000;

struct Found {
    uint16_t tableIndex;  // where discovery put the drive in the drive table
    DriveEntry entry;
    GuestDrive drive;
};

struct Part {
    const char* name;  // "pass-through" or "ASPI", as in DriveKind::part
    uint8_t usePassThrough;
};

uint8_t SenseKey() { return CommandStatus->SenseArea[kSenseKeyByte]; }
uint8_t Asc() { return CommandStatus->SenseArea[kSenseAsc]; }
uint8_t Ascq() { return CommandStatus->SenseArea[kSenseAscq]; }

std::string FailureText(ScsiResult result) {
    std::string text;
    DescribeFailure(result, text);
    return text;
}

// TEST UNIT READY until the drive has no more unit attentions to report (at most five),
// printing each; true when it ends ready.
bool SettleUnitAttentions(const char* part, const DriveEntry& entry) {
    for (int i = 0; i < 5; ++i) {
        const ScsiResult result = TestUnitReady(entry);
        std::printf("  %s TEST UNIT READY -> %d %s\n", part, result, Outcome().c_str());
        if (result == kScsiOk) return true;
    }
    return false;
}

// TEST UNIT READY every 100 ms until `done` holds for its outcome or `limitMs` has passed;
// prints each new outcome. Returns the last result.
template <typename Done>
ScsiResult PollTestUnitReady(const char* part, const DriveEntry& entry, int limitMs, Done done) {
    const int64_t start = NowMs();
    std::string last;
    for (;;) {
        const ScsiResult result = TestUnitReady(entry);
        const std::string outcome = std::to_string(result) + " " + Outcome();
        if (outcome != last)
            std::printf("  %s TEST UNIT READY at %lld ms -> %s\n", part,
                        static_cast<long long>(NowMs() - start), outcome.c_str());
        last = outcome;
        if (done(result) || NowMs() - start > limitMs) return result;
        PauseMs(100);
    }
}

// ---- checks every drive gets, on both transports ----------------------------------------

void CheckIdentityAndBlocks(const Part& part, const DriveEntry& entry, const GuestDrive& drive) {
    const DriveKind& kind = *drive.kind;
    uint8_t inquiry[36] = {};
    ScsiResult result = Inquiry(entry, inquiry, sizeof inquiry);
    const uint8_t sentLength = CommandStatus->SRB_CDBLen;
    std::printf("  %s %s INQUIRY -> %d: type=%02X byte3=%02X \"%s\" (%s)\n", part.name,
                drive.blockName.c_str(), result, inquiry[0], inquiry[3],
                Printable(inquiry + 8, 28).c_str(), Outcome().c_str());
    Verdict(result == kScsiOk && inquiry[0] == kCdromDevice &&
                std::memcmp(inquiry + 8, drive.identity.data(), 28) == 0,
            "%s %s: INQUIRY returns 0 with the identity sysfs shows", part.name, kind.name);
    const bool atapi = (inquiry[3] & 0xF0) != 0;
    Verdict(inquiry[3] == kind.inquiryByte3 && entry.Atapi == (atapi ? 1 : 0),
            "%s %s: INQUIRY byte 3 is %02X and the entry's ATAPI flag follows it (byte 3 %02X, "
            "flag %u)",
            part.name, kind.name, kind.inquiryByte3, inquiry[3], entry.Atapi);
    Verdict(sentLength == (entry.Atapi ? 12 : 6),
            "%s %s: INQUIRY went out as a %u-byte command block (ATAPI flag %u)", part.name,
            kind.name, sentLength, entry.Atapi);

    SettleUnitAttentions(part.name, entry);
    result = TestUnitReady(entry);
    Verdict(result == kScsiOk && CommandStatus->SRB_CDBLen == (entry.Atapi ? 12 : 6),
            "%s %s: TEST UNIT READY returns 0, sent as a %u-byte block (got %d, %s)", part.name,
            kind.name, entry.Atapi ? 12 : 6, result, Outcome().c_str());
}

// ---- scsi_debug --------------------------------------------------------------------------

void CheckDebugTarget(const Part& part, const DriveEntry& entry) {
    // Mode 4 (download microcode), buffer 0, offset 0: one small chunk.
    uint8_t chunk[16];
    for (size_t i = 0; i < sizeof chunk; ++i) chunk[i] = static_cast<uint8_t>(0xA0 + i);
    ScsiResult result = WriteBuffer(entry, chunk, sizeof chunk, 0, 4, 0);
    std::printf("  %s WRITE BUFFER mode 4, 16 bytes -> %d %s\n", part.name, result,
                Outcome().c_str());
    Verdict(result == kScsiOk, "%s scsi_debug: WRITE BUFFER mode 4 (data out) is accepted (got %d)",
            part.name, result);
    if (result == kScsiOk) {
        // scsi_debug answers a microcode download with unit attentions on its next
        // commands; the first is reported as a target error with its sense key byte.
        result = TestUnitReady(entry);
        Verdict(result == kScsiTargetError && SenseKey() == kUnitAttention &&
                    CommandStatus->SRB_TargStat == kCheckCondition,
                "%s scsi_debug: TEST UNIT READY after the download reports the unit attention "
                "as 4 with sense key 06 (got %d, %s)",
                part.name, result, Outcome().c_str());
    }
    Verdict(SettleUnitAttentions(part.name, entry),
            "%s scsi_debug: ready again after its unit attentions", part.name);

    // A vendor opcode scsi_debug does not know: the board record read of the command set.
    uint8_t board[16] = {};
    result = ReadBoardInfo(entry, board, sizeof board, 0xF8048);
    Verdict(result == kScsiTargetError && CommandStatus->SRB_TargStat == kCheckCondition &&
                SenseKey() == kIllegalRequest && Asc() == kInvalidOpcodeAsc &&
                CommandStatus->SRB_CDBLen == 12,
            "%s scsi_debug: vendor command 0xF5 (12 bytes) is refused: 4 with sense 05/20 (got "
            "%d, %s)",
            part.name, result, Outcome().c_str());

    // A command the target never answers: the kernel times it out.
    std::printf("  %s: scsi_debug now ignores commands; waiting for the kernel's time-out\n",
                part.name);
    if (!IgnoreDebugCommands(true)) {
        IgnoreDebugCommands(false);
        Verdict(false, "%s scsi_debug: its fault switches can be set", part.name);
        return;
    }
    const int64_t start = NowMs();
    result = TestUnitReady(entry);
    const int64_t took = NowMs() - start;
    const bool restored = IgnoreDebugCommands(false);
    std::printf("  %s TEST UNIT READY, unanswered -> %d after %lld ms, %s%s\n", part.name, result,
                static_cast<long long>(took), Outcome().c_str(),
                restored ? "" : " (fault NOT switched off)");
    if (part.usePassThrough) {
        // A request the kernel gives up on is a failed request with the time-out's system
        // error code (121), not an answer of the drive.
        const uint32_t code = CommandStatus->SRB_Status | (CommandStatus->SRB_HaStat << 8) |
                              (CommandStatus->SRB_TargStat << 16);
        Verdict(result == kScsiSystemError && code == platform::kErrorSemTimeout,
                "pass-through scsi_debug: a command timed out by the kernel returns -3 with "
                "system error 121 (got %d, code %u)",
                result, code);
    } else {
        Verdict(result == kScsiAdapterError && CommandStatus->SRB_Status == SS_ERR &&
                    CommandStatus->SRB_HaStat == HASTAT_COMMAND_TIMEOUT,
                "ASPI scsi_debug: a command timed out by the kernel returns 2 with SS_ERR and "
                "HASTAT_COMMAND_TIMEOUT (got %d, %s)",
                result, Outcome().c_str());
    }
    Verdict(SettleUnitAttentions(part.name, entry),
            "%s scsi_debug: answers again after the time-out", part.name);
}

// ---- QEMU's drives -----------------------------------------------------------------------

void CheckRefusedWriteBuffer(const Part& part, const DriveEntry& entry, const DriveKind& kind) {
    uint8_t chunk[16] = {};
    const ScsiResult result = WriteBuffer(entry, chunk, sizeof chunk, 0, 4, 0);
    const std::string text = FailureText(result);
    std::printf("  %s WRITE BUFFER mode 4 -> %d %s \"%s\"\n", part.name, result, Outcome().c_str(),
                text.c_str());
    Verdict(result == kScsiTargetError && CommandStatus->SRB_TargStat == kCheckCondition &&
                SenseKey() == kIllegalRequest && Asc() == kInvalidOpcodeAsc && Ascq() == 0 &&
                CommandStatus->SRB_CDBLen == (entry.Atapi ? 12 : 10) && text == kCheckConditionText,
            "%s %s: a refused WRITE BUFFER returns 4 with 05/20/00 and the text \"%s\" (got %d, "
            "%s, \"%s\")",
            part.name, kind.name, kCheckConditionText, result, Outcome().c_str(), text.c_str());
}

void CheckOpenTray(const Part& part, const DriveEntry& entry, const DriveKind& kind) {
    SettleUnitAttentions(part.name, entry);
    char request[160];
    std::snprintf(request, sizeof request,
                  "{\"execute\": \"blockdev-open-tray\", \"arguments\": {\"id\": \"%s\", "
                  "\"force\": true}}",
                  kind.qemuDrive);
    RequestFromHost(request);
    ScsiResult result = PollTestUnitReady(part.name, entry, 30000, [](ScsiResult r) {
        return r == kScsiTargetError && SenseKey() == kNotReady && Asc() == kMediumNotPresentAsc;
    });
    const std::string text = FailureText(result);
    Verdict(result == kScsiTargetError && CommandStatus->SRB_TargStat == kCheckCondition &&
                SenseKey() == kNotReady && Asc() == kMediumNotPresentAsc && Ascq() == 0 &&
                text == kCheckConditionText,
            "%s %s: TEST UNIT READY with the tray open returns 4 with 02/3A/00 and the text "
            "\"%s\" (got %d, %s, \"%s\")",
            part.name, kind.name, kCheckConditionText, result, Outcome().c_str(), text.c_str());

    std::snprintf(request, sizeof request,
                  "{\"execute\": \"blockdev-close-tray\", \"arguments\": {\"id\": \"%s\"}}",
                  kind.qemuDrive);
    RequestFromHost(request);
    result = PollTestUnitReady(part.name, entry, 30000, [](ScsiResult r) { return r == kScsiOk; });
    Verdict(result == kScsiOk, "%s %s: ready again once the tray is closed (got %d, %s)", part.name,
            kind.name, result, Outcome().c_str());
}

// A clear failure for a drive that is gone: the device did not open (-1), or the request
// failed without an answer of a drive (-3) on pass-through; the manager reports no device
// or an adapter error (1, 2) on ASPI. Always with a text for the user.
bool IsGoneDriveFailure(const Part& part, ScsiResult result, const std::string& text) {
    if (text.empty()) return false;
    if (part.usePassThrough) return result == kScsiNoSystemObject || result == kScsiSystemError;
    return result == kScsiAspiStatusError || result == kScsiAdapterError;
}

// QEMU's drives are unplugged by the host (device_del); scsi_debug's device is deleted by
// the kernel on request, from a thread of its own while the commands go on.
void CheckRemoval(const Part& part, const DriveEntry& entry, const GuestDrive& drive) {
    const DriveKind& kind = *drive.kind;
    char request[128];
    std::snprintf(request, sizeof request,
                  "{\"execute\": \"device_del\", \"arguments\": {\"id\": \"%s\"}}",
                  kind.qemuUnplug);
    std::thread remover;
    bool deleted = true;
    // Commands run before the request and go on while the drive is removed: TEST UNIT
    // READY and INQUIRY (data in) in turn, until one fails. They belong to one run, as an
    // update's do, so the pass-through transport meets the removal on the node it kept.
    const CommandRun run;
    constexpr int kRequestAt = 5;
    uint8_t inquiry[36];
    const int64_t start = NowMs();
    int64_t took = 0;
    ScsiResult result = kScsiOk;
    int sent = 0;
    for (; NowMs() - start < 60000; ++sent) {
        if (sent == kRequestAt) {
            if (IsDebugTarget(kind))
                remover = std::thread([&drive, &deleted] { deleted = DeleteScsiDevice(drive); });
            else
                RequestFromHost(request);
        }
        const int64_t before = NowMs();
        result = sent % 2 == 0 ? TestUnitReady(entry) : Inquiry(entry, inquiry, sizeof inquiry);
        took = NowMs() - before;
        if (result != kScsiOk && result != kScsiTargetError) break;
        if (result == kScsiTargetError)
            std::printf("  %s command %d -> 4 %s\n", part.name, sent, Outcome().c_str());
        PauseMs(20);
    }
    if (remover.joinable()) remover.join();
    std::string text = FailureText(result);
    std::printf("  %s: command %d after %lld ms -> %d in %lld ms, %s \"%s\"\n", part.name, sent,
                static_cast<long long>(NowMs() - start), result, static_cast<long long>(took),
                Outcome().c_str(), text.c_str());
    Verdict(
        deleted && sent >= kRequestAt && IsGoneDriveFailure(part, result, text) && took < kHangMs,
        "%s %s removed in the middle of a run: the next command fails clearly and at once "
        "(got %d \"%s\" in %lld ms)",
        part.name, kind.name, result, text.c_str(), static_cast<long long>(took));

    const int64_t before = NowMs();
    result = TestUnitReady(entry);
    took = NowMs() - before;
    text = FailureText(result);
    Verdict(IsGoneDriveFailure(part, result, text) && took < kHangMs,
            "%s %s removed: a later command fails the same way (got %d \"%s\" in %lld ms)",
            part.name, kind.name, result, text.c_str(), static_cast<long long>(took));
}

// An INQUIRY execute request sent straight to the manager's entry point and completed
// through its event, as any ASPI client would send it.
void RawAspiInquiry(const DriveEntry& entry, const GuestDrive& drive) {
    const int event = eventfd(0, EFD_CLOEXEC);
    if (event < 0) {
        Verdict(false, "ASPI raw INQUIRY: no eventfd");
        return;
    }
    uint8_t data[36] = {};
    SRB_ExecSCSICmd request{};
    request.SRB_Cmd = SC_EXEC_SCSI_CMD;
    request.SRB_HaId = entry.HaId;
    request.SRB_Flags = SRB_DIR_IN | SRB_EVENT_NOTIFY;
    request.SRB_Target = entry.Target;
    request.SRB_BufLen = sizeof data;
    request.SRB_BufPointer = data;
    request.SRB_SenseLen = SENSE_LEN;
    request.SRB_CDBLen = 12;
    request.SRB_PostProc = reinterpret_cast<void*>(static_cast<intptr_t>(event));
    const uint8_t cdb[12] = {0x12, 0, 0, 0, sizeof data, 0};
    std::memcpy(request.CDBByte, cdb, sizeof cdb);

    // The event is waited for while the request is pending; a request the drive answered
    // while it was handed over completes before the call returns, and its event is
    // signalled all the same, for clients that always wait.
    const uint32_t sent = TheAspiLibrary.SendCommand(&request);
    pollfd waiting{event, POLLIN, 0};
    uint64_t count = 0;
    const bool signalled = poll(&waiting, 1, sent == SS_PENDING ? 20000 : 0) == 1 &&
                           read(event, &count, sizeof count) == sizeof count;
    const uint8_t status =
        std::atomic_ref<uint8_t>(request.SRB_Status).load(std::memory_order_acquire);
    std::printf(
        "  raw execute: SendASPI32Command -> %02X, event %s, SRB_Status=%02X ha=%02X "
        "targ=%02X data \"%s\"\n",
        sent, signalled ? "signalled" : "NOT signalled", status, request.SRB_HaStat,
        request.SRB_TargStat, Printable(data + 8, 28).c_str());
    Verdict(signalled && status == SS_COMP && request.SRB_TargStat == 0 &&
                std::memcmp(data + 8, drive.identity.data(), 28) == 0,
            "ASPI %s: a raw INQUIRY execute request completes through its event with the drive's "
            "identity",
            drive.kind->name);
    close(event);
}

// ---- discovery -----------------------------------------------------------------------------

// Discovers the drives and checks each entry against what sysfs shows; returns the entries
// with their drive, in table order.
std::vector<Found> Discover(const Part& part, const std::vector<GuestDrive>& drives) {
    std::memset(DriveTable, 0, sizeof DriveTable);
    const uint32_t found = DiscoverDrives();
    std::vector<Found> matched;
    for (uint32_t i = 0; i < found; ++i) {
        const DriveEntry& entry = DriveTable[i];
        std::printf("  %s discovered: \"%s\" revision \"%s\" atapi=%u align=%08X\n", part.name,
                    entry.DisplayText,
                    Printable(reinterpret_cast<const uint8_t*>(entry.Revision), 4).c_str(),
                    entry.Atapi, entry.AlignMask);
    }
    Verdict(found == drives.size(), "%s discovery lists every drive of the guest (%u of %zu)",
            part.name, found, drives.size());

    for (uint32_t i = 0; i < found; ++i) {
        const DriveEntry& entry = DriveTable[i];
        const std::string text = entry.DisplayText;
        // The identity comes from the display text's own bytes; sysfs tells which drive has it.
        const GuestDrive* drive = nullptr;
        std::string expected;
        char prefix[16];
        if (part.usePassThrough) {
            std::snprintf(prefix, sizeof prefix, "%s:\\ [", entry.DriveLetter);
            const size_t at = std::strlen(prefix);
            if (text.size() >= at + 24) {
                const std::string identity =
                    text.substr(at, 24) + std::string(entry.Revision, sizeof entry.Revision);
                drive = DriveWithIdentity(drives, identity.c_str());
            }
            // Letters follow the block nodes: D: is the first optical drive.
            if (drive != nullptr) {
                const size_t index = static_cast<size_t>(drive - drives.data());
                const char letter = static_cast<char>('D' + index);
                expected = std::string(1, letter) + ":\\ [" + drive->identity.substr(0, 24) + " " +
                           drive->identity.substr(24, 4) + "]";
            }
        } else {
            std::snprintf(prefix, sizeof prefix, "(%u,%u) ", entry.HaId, entry.Target);
            const size_t at = std::strlen(prefix);
            if (text.size() >= at + 24) {
                const std::string identity =
                    text.substr(at, 24) + std::string(entry.Revision, sizeof entry.Revision);
                drive = DriveWithIdentity(drives, identity.c_str());
            }
            if (drive != nullptr)
                expected =
                    prefix + drive->identity.substr(0, 24) + " " + drive->identity.substr(24, 4);
        }
        if (drive == nullptr || drive->kind == nullptr) {
            Verdict(false, "%s discovery: \"%s\" is a drive of the guest's kinds", part.name,
                    text.c_str());
            continue;
        }
        Verdict(text == expected, "%s %s (%s): display text \"%s\" (expected \"%s\")", part.name,
                drive->kind->name, drive->blockName.c_str(), text.c_str(), expected.c_str());
        if (!part.usePassThrough) {
            // The adapter is the drive's own SCSI host, and the target its target id.
            SRB_HAInquiry* answer = nullptr;
            const bool asked = AspiHostAdapterInquiry(entry.HaId, &answer) == 0;
            const std::string identifier =
                asked ? Printable(answer->HA_Identifier, sizeof answer->HA_Identifier) : "";
            Verdict(
                asked && identifier.rfind(drive->hostName, 0) == 0 && entry.Target == drive->target,
                "ASPI %s: adapter %u is its host \"%s\" and target %u its target id "
                "(adapter identifier \"%s\", sysfs %u:%u:%u:%u)",
                drive->kind->name, entry.HaId, drive->hostName.c_str(), entry.Target,
                identifier.c_str(), drive->host, drive->channel, drive->target, drive->lun);
        }
        matched.push_back({static_cast<uint16_t>(i), entry, *drive});
    }
    return matched;
}

void RunDrives(const Part& part, const std::vector<GuestDrive>& drives) {
    const std::vector<Found> matched = Discover(part, drives);
    std::vector<Found> removals;
    for (const Found& found : matched) {
        const DriveEntry& entry = found.entry;
        const GuestDrive& drive = found.drive;
        const DriveKind& kind = *drive.kind;
        std::printf("-- %s: %s (%s, \"%s\")\n", part.name, kind.name, drive.blockName.c_str(),
                    entry.DisplayText);
        CheckIdentityAndBlocks(part, entry, drive);
        if (!part.usePassThrough) RawAspiInquiry(entry, drive);
        if (IsDebugTarget(kind)) {
            CheckDebugTarget(part, entry);
            CheckSignalDuringCommand(part.name, entry, drive);
        } else if (std::strcmp(kind.part, part.name) == 0) {
            CheckRefusedWriteBuffer(part, entry, kind);
            CheckOpenTray(part, entry, kind);
            removals.push_back(found);
        }
    }
    for (const Found& found : matched)
        if (IsDebugTarget(*found.drive.kind)) removals.push_back(found);
    // The update stops scsi_debug (the worker opens its tray) and starts it again; it comes
    // after that drive's other checks.
    for (const Found& found : matched)
        if (IsDebugTarget(*found.drive.kind))
            CheckUpdate(part.name, found.tableIndex, part.usePassThrough != 0);
    // Last, since a removed QEMU drive is gone for the rest of the run; scsi_debug comes
    // back through a scan of its host.
    for (const Found& found : removals) {
        std::printf("-- %s: %s (%s) removed\n", part.name, found.drive.kind->name,
                    found.drive.blockName.c_str());
        CheckRemoval(part, found.entry, found.drive);
        if (IsDebugTarget(*found.drive.kind))
            Verdict(RescanScsiDevice(found.drive),
                    "%s: scsi_debug is back after a scan of its host", part.name);
    }
}

// ---- the two parts -----------------------------------------------------------------------

void PassThroughPart() {
    const Part part{"pass-through", 1};
    std::printf("== pass-through (SG_IO on the drive's node)\n");
    UsePassThrough = 1;
    const std::vector<GuestDrive> drives = FindGuestDrives();
    for (const GuestDrive& drive : drives)
        std::printf("  %s %u:%u:%u:%u host \"%s\" \"%s\" kind %s\n", drive.blockName.c_str(),
                    drive.host, drive.channel, drive.target, drive.lun, drive.hostName.c_str(),
                    drive.identity.c_str(), drive.kind != nullptr ? drive.kind->name : "none");

    const auto lettered = platform::linux_os::FindOpticalDrives("/sys", "/dev");
    std::string letters;
    for (char letter = 'A'; letter <= 'Z'; ++letter)
        if (platform::Platform().Drives->DriveType(letter) == platform::kDriveCdrom)
            letters.push_back(letter);
    bool generic = lettered.size() == drives.size();
    for (size_t i = 0; generic && i < lettered.size(); ++i) {
        struct stat node {};
        std::printf("  drive %c: %s -> %s\n", static_cast<char>('D' + i),
                    lettered[i].blockName.c_str(), lettered[i].devicePath.c_str());
        generic = lettered[i].blockName == drives[i].blockName &&
                  stat(lettered[i].devicePath.c_str(), &node) == 0 && S_ISCHR(node.st_mode) &&
                  major(node.st_rdev) == kScsiGenericMajor;
    }
    const std::string expectedLetters = std::string("DEFGHIJ").substr(0, drives.size());
    Verdict(drives.size() == 5 && letters == expectedLetters && generic,
            "drive-letter map: the %zu optical drives are %s in block-node order, each opened "
            "through its SCSI generic node (letters \"%s\")",
            drives.size(), expectedLetters.c_str(), letters.c_str());

    const platform::DriveHandle handle = platform::Platform().Drives->Open('D', true);
    uint32_t mask = 0;
    const bool hasMask = handle != platform::kInvalidDrive &&
                         platform::Platform().Drives->QueryAlignmentMask(handle, &mask);
    if (handle != platform::kInvalidDrive) platform::Platform().Drives->Close(handle);
    Verdict(handle != platform::kInvalidDrive && hasMask,
            "D: opens read-write and its alignment mask is read from sysfs (mask %08X)", mask);

    RunDrives(part, drives);

    DriveEntry missing{};
    missing.DriveLetter[0] = static_cast<char>('D' + drives.size());
    const ScsiResult result = TestUnitReady(missing);
    Verdict(result == kScsiNoSystemObject,
            "pass-through to %s:, where there is no drive, returns -1 (got %d)",
            missing.DriveLetter, result);
}

void AspiPart() {
    const Part part{"ASPI", 0};
    std::printf("== ASPI manager (%s loaded with dlopen)\n", kAspiLibraryName);
    UsePassThrough = 0;
    const std::vector<GuestDrive> drives = FindGuestDrives();
    if (AspiOpen() != 1) {
        Verdict(false, "ASPI manager library loads from beside the probe");
        return;
    }
    Verdict(true, "ASPI manager library loads from beside the probe");

    const uint32_t support = TheAspiLibrary.GetSupportInfo();
    std::printf("  GetASPI32SupportInfo -> %08X\n", support);
    Verdict(((support >> 8) & 0xFF) == SS_COMP && (support & 0xFF) == HostCount(drives),
            "GetASPI32SupportInfo: SS_COMP and one adapter for each of the %u SCSI hosts with a "
            "drive",
            HostCount(drives));
    for (unsigned adapter = 0; adapter < (support & 0xFF); ++adapter) {
        SRB_HAInquiry* answer = nullptr;
        if (AspiHostAdapterInquiry(static_cast<uint8_t>(adapter), &answer) != 0) {
            Verdict(false, "ASPI HA inquiry of adapter %u", adapter);
            continue;
        }
        std::printf(
            "  HA inquiry %u: status=%02X count=%u manager=\"%s\" identifier=\"%s\" "
            "unique[0..3]=%02X %02X %02X %02X\n",
            adapter, answer->SRB_Status, answer->HA_Count,
            Printable(answer->HA_ManagerId, 16).c_str(),
            Printable(answer->HA_Identifier, 16).c_str(), answer->HA_Unique[0],
            answer->HA_Unique[1], answer->HA_Unique[2], answer->HA_Unique[3]);
    }
    DriveEntry absent{};
    absent.Target = 7;
    uint8_t type = 0;
    Verdict(AspiGetDeviceType(absent, &type) != 0, "ASPI: no device at (0,7,0)");

    RunDrives(part, drives);
    AspiClose();
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const char* benchmarkTool = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--benchmark") == 0 && i + 1 < argc) {
            benchmarkTool = argv[++i];
        } else {
            std::printf("usage: %s [--benchmark PATH-OF-sg_write_buffer]\n", argv[0]);
            return 100;
        }
    }
    std::memset(&Config, 0, sizeof Config);
    // Every drive of the guest: scsi_debug's identity and QEMU's vendor.
    const char patterns[] = "Linux   scsi_debug      ;QEMU    ;";
    std::memcpy(Config.InquiryPatterns, patterns, sizeof patterns);
    std::printf("probe: identity list \"%s\"\n", Config.InquiryPatterns);
    if (benchmarkTool != nullptr) {
        const std::vector<GuestDrive> drives = FindGuestDrives();
        const auto lettered = platform::linux_os::FindOpticalDrives("/sys", "/dev");
        if (drives.empty() || lettered.empty() || drives[0].kind == nullptr ||
            !IsDebugTarget(*drives[0].kind)) {
            std::printf("probe: the first optical drive is not scsi_debug\n");
            return 1;
        }
        RunBenchmark(lettered[0].devicePath.c_str(), benchmarkTool);
        return 0;
    }

    PassThroughPart();
    AspiPart();

    std::printf("probe: %d failure(s)\n", FailureCount());
    return FailureCount() > 100 ? 100 : FailureCount();
}
