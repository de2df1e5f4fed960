#include "tests/qemu/guest_drives.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <tuple>

namespace {

namespace fs = std::filesystem;

// QEMU's ide-cd answers INQUIRY with byte 3 = 0x21 and version 0; libata rewrites both for
// the SCSI layer (version 5, byte 3 = 0x32), which is what reaches the program. QEMU's
// scsi-cd sets the HiSup bit with response format 2 (0x12). An IDE controller cannot lose
// one drive while running, so each ATAPI drive has an AHCI controller of its own, and the
// controller is what the host unplugs.
// clang-format off
const DriveKind kKinds[] = {
    // name, product, revision, host, part, QEMU drive, QEMU unplug, byte 3
    {"scsi_debug", "scsi_debug      ", nullptr, "scsi_debug", nullptr, nullptr, nullptr, 0x02},
    {"ATAPI on AHCI", "QEMU DVD-ROM    ", "PT01", "ahci", "pass-through", "atapi0", "ahci0",
     0x32},
    {"ATAPI on AHCI", "QEMU DVD-ROM    ", "AS01", "ahci", "ASPI", "atapi1", "ahci1", 0x32},
    {"scsi-cd on virtio-scsi", "QEMU CD-ROM     ", "PT01", "virtio_scsi", "pass-through",
     "vcd0", "vcd0", 0x12},
    {"scsi-cd on virtio-scsi", "QEMU CD-ROM     ", "AS01", "virtio_scsi", "ASPI", "vcd1",
     "vcd1", 0x12},
};
// clang-format on

// The first line of a sysfs attribute, with its line break removed but its blanks kept
// (vendor and model are blank padded to their full width).
std::string Attribute(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

std::string Padded(std::string text, size_t width) {
    text.resize(width, ' ');
    return text;
}

const DriveKind* KindOf(const GuestDrive& drive) {
    const std::string product = drive.identity.substr(8, 16);
    const std::string revision = drive.identity.substr(24, 4);
    for (const DriveKind& kind : kKinds) {
        if (product != kind.product || drive.hostName != kind.host) continue;
        if (kind.revision != nullptr && revision != kind.revision) continue;
        return &kind;
    }
    return nullptr;
}

}  // namespace

std::vector<GuestDrive> FindGuestDrives() {
    std::vector<std::pair<unsigned long, GuestDrive>> found;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/sys/class/block", error)) {
        const std::string name = entry.path().filename().string();
        unsigned long index = 0;
        char tail = 0;
        if (std::sscanf(name.c_str(), "sr%lu%c", &index, &tail) != 1) continue;
        GuestDrive drive;
        drive.blockName = name;
        const fs::path device = entry.path() / "device";
        const std::string address = fs::read_symlink(device, error).filename().string();
        if (std::sscanf(address.c_str(), "%u:%u:%u:%u", &drive.host, &drive.channel, &drive.target,
                        &drive.lun) != 4)
            continue;
        drive.hostName = Attribute(fs::path("/sys/class/scsi_host") /
                                   ("host" + std::to_string(drive.host)) / "proc_name");
        drive.identity = Padded(Attribute(device / "vendor"), 8) +
                         Padded(Attribute(device / "model"), 16) +
                         Padded(Attribute(device / "rev"), 4);
        drive.identity.resize(28, ' ');
        drive.kind = KindOf(drive);
        found.emplace_back(index, drive);
    }
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<GuestDrive> drives;
    for (auto& [index, drive] : found) drives.push_back(drive);
    return drives;
}

const GuestDrive* DriveWithIdentity(const std::vector<GuestDrive>& drives, const char* identity) {
    for (const GuestDrive& drive : drives)
        if (std::memcmp(drive.identity.data(), identity, 28) == 0) return &drive;
    return nullptr;
}

unsigned HostCount(const std::vector<GuestDrive>& drives) {
    std::set<unsigned> hosts;
    for (const GuestDrive& drive : drives) hosts.insert(drive.host);
    return static_cast<unsigned>(hosts.size());
}

bool IsDebugTarget(const DriveKind& kind) { return kind.qemuDrive == nullptr; }

namespace {

bool WriteAttribute(const std::string& path, const char* value) {
    FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) return false;
    const bool written = std::fputs(value, file) >= 0;
    return std::fclose(file) == 0 && written;
}

std::string AddressOf(const GuestDrive& drive) {
    return std::to_string(drive.host) + ":" + std::to_string(drive.channel) + ":" +
           std::to_string(drive.target) + ":" + std::to_string(drive.lun);
}

}  // namespace

bool DeleteScsiDevice(const GuestDrive& drive) {
    return WriteAttribute("/sys/bus/scsi/devices/" + AddressOf(drive) + "/delete", "1");
}

bool RescanScsiDevice(const GuestDrive& drive) {
    const std::string scan = std::to_string(drive.channel) + " " + std::to_string(drive.target) +
                             " " + std::to_string(drive.lun);
    if (!WriteAttribute("/sys/class/scsi_host/host" + std::to_string(drive.host) + "/scan",
                        scan.c_str()))
        return false;
    const fs::path generic = fs::path("/sys/bus/scsi/devices") / AddressOf(drive) / "scsi_generic";
    for (int waited = 0; waited < 150; ++waited) {
        std::error_code error;
        if (!fs::is_empty(generic, error) && !error) return true;
        usleep(100 * 1000);
    }
    return false;
}

namespace {

bool WriteDebugOption(const char* name, const char* value) {
    const std::string path = std::string("/sys/bus/pseudo/drivers/scsi_debug/") + name;
    FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) return false;
    const bool written = std::fputs(value, file) >= 0;
    return std::fclose(file) == 0 && written;
}

}  // namespace

bool IgnoreDebugCommands(bool ignore) {
    // every_nth 1 with opts 4: every command is left unanswered.
    if (ignore) return WriteDebugOption("every_nth", "1") && WriteDebugOption("opts", "4");
    return WriteDebugOption("opts", "0") && WriteDebugOption("every_nth", "0");
}
