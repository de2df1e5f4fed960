// The dry run against a simulated drive: it sends nothing that changes the drive, and the
// plan it prints is the command sequence that the real update of the same package then
// sends to the same drive.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "app/command_line.h"
#include "app/package_folder_files.h"
#include "app/terminal_program.h"
#include "config/image_buffers.h"
#include "platform/linux/linux_platform.h"
#include "platform/platform.h"
#include "sim/description.h"
#include "sim/sim_drive.h"
#include "sim/simulated_drive_bus.h"

namespace fs = std::filesystem;

namespace {

using Cdb = std::vector<uint8_t>;

// Standard output of `run`, taken from file descriptor 1.
template <typename Run>
std::string CaptureStdout(Run run) {
    std::fflush(stdout);
    char path[] = "/tmp/zvfirm-stdout-XXXXXX";
    const int file = mkstemp(path);
    const int saved = dup(1);
    dup2(file, 1);
    run();
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    close(file);
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    std::remove(path);
    return text.str();
}

// The command blocks of the plan's lines ("[3b 04 ...]"), waits left out.
std::vector<Cdb> PlannedCommands(const std::string& plan, size_t* readsSent) {
    std::vector<Cdb> commands;
    *readsSent = 0;
    std::istringstream lines(plan);
    std::string line;
    while (std::getline(lines, line)) {
        const bool sent = line.rfind("sent ", 0) == 0;
        if (!sent && line.rfind("not sent ", 0) != 0) continue;
        if (sent) ++*readsSent;
        const size_t open = line.rfind('[');
        const size_t close = line.find(']', open);
        if (open == std::string::npos || close == std::string::npos) continue;
        std::istringstream bytes(line.substr(open + 1, close - open - 1));
        Cdb cdb;
        unsigned value;
        while (bytes >> std::hex >> value) cdb.push_back(static_cast<uint8_t>(value));
        commands.push_back(cdb);
    }
    return commands;
}

bool ChangesTheDrive(const Cdb& cdb) {
    return cdb.empty() || cdb[0] == 0x3B || cdb[0] == 0x1B || cdb[0] == 0xF0;
}

struct PlanCase {
    const char* name;
    std::string drive;    // lines of the [drive] section
    std::string options;  // lines of the [OPTION] section
    std::string extra;    // more lines of the [UPGRADEINFORMATION] section
};

class DryRun : public ::testing::TestWithParam<PlanCase> {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "zvfirm-dry-run-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    fs::path folder_;
};

TEST_P(DryRun, PlansExactlyWhatTheUpdateSendsAndSendsNoneOfIt) {
    const PlanCase& c = GetParam();
    {
        std::ofstream ini(folder_ / "zorvfirm.ini", std::ios::binary);
        ini << "[UPGRADEINFORMATION]\r\nINQUIRY=ZORVANT DVDR   ZV-314K  ;\r\nVERSION=1.02\r\n"
               "FIRMWAREFILENAME=FW.BIN\r\nFIRMWAREFILESIZE=65536\r\nBUFFERSIZE=16384\r\n"
            << c.extra << "[OPTION]\r\nUPDATE WAIT TIME=0\r\n"
            << c.options;
        std::ofstream(folder_ / "FW.BIN", std::ios::binary) << std::string(65536, '\x5A');
        std::ofstream(folder_ / "EPS.BIN", std::ios::binary) << std::string(0x3400 + 512, '\x3C');
    }
    std::vector<sim::DriveDescription> descriptions;
    std::string error;
    ASSERT_TRUE(
        sim::ParseDescription("[drive]\nvendor = ZORVANT\nproduct = \"DVDR   ZV-314K\"\n"
                              "flash_ms = 0\ncheck_identity = no\n" +
                                  c.drive,
                              "test.sim", descriptions, error))
        << error;
    auto drive = std::make_shared<sim::Drive>(descriptions[0]);
    sim::SimulatedDriveBus bus({drive});
    PackageFolderFiles files(platform::linux_os::LinuxFiles(), folder_.string());
    platform::Services services = platform::Platform();
    services.Drives = &bus;
    services.Files = &files;
    platform::ScopedServices scoped(services);

    CommandLine line;
    line.Drive = 0;
    line.Yes = true;

    line.Mode = CommandMode::DryRun;
    int status = -1;
    // The program keeps the secondary image to its end; these runs share one process.
    const std::string plan = CaptureStdout([&] { status = RunTerminalMode(line); });
    ReleaseEpsImage();
    EXPECT_EQ(status, 0) << plan;
    const std::vector<sim::LoggedCommand> afterDryRun = drive->Log();
    for (const sim::LoggedCommand& command : afterDryRun)
        EXPECT_FALSE(ChangesTheDrive(command.cdb))
            << "sent during the dry run: opcode " << int(command.cdb[0]);
    EXPECT_EQ(drive->FlashCount(), 0u);

    line.Mode = CommandMode::Update;
    const std::string updateOut = CaptureStdout([&] { status = RunTerminalMode(line); });
    ReleaseEpsImage();
    EXPECT_EQ(status, 0);
    EXPECT_EQ(drive->FlashCount(), 1u);

    // Both runs discover the drive first, with the same commands; the dry run's reads that
    // reached the drive follow.
    size_t readsSent = 0;
    const std::vector<Cdb> planned = PlannedCommands(plan, &readsSent);
    ASSERT_GE(afterDryRun.size(), readsSent);
    const size_t discovery = afterDryRun.size() - readsSent;
    const std::vector<sim::LoggedCommand> all = drive->Log();
    std::vector<Cdb> updateCommands;
    for (size_t i = afterDryRun.size() + discovery; i < all.size(); ++i)
        updateCommands.push_back(all[i].cdb);
    EXPECT_EQ(planned, updateCommands) << plan;
    EXPECT_FALSE(planned.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Packages, DryRun,
    ::testing::Values(
        PlanCase{"DiscLoadedTrayOpened", "revision = 1.00\nmedium = loaded\n", "", ""},
        PlanCase{"EmptyTrayBoardCheckAndExtraCommands",
                 "revision = 1.00\nmedium = empty\nboard_version = 2\n",
                 "USE PCB VERSION CHECK=3\r\nUSE UPDATE AFTER CMD=YES\r\n", ""},
        PlanCase{"SecondaryImage",
                 "revision = 1.00\neps_version = 1.00A00\neps_commit_version = 1.10A00\n", "",
                 "EPS FIRMWAREFILENAME=EPS.BIN\r\nEPS FIRMWAREFILESIZE=" +
                     std::to_string(0x3400 + 512) + "\r\nEPS VERSION=1.10A00\r\n"},
        PlanCase{"FixUpOfTheOneModel", "revision = 1.01\n", "", ""}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
