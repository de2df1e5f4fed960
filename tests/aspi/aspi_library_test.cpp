// The ASPI manager library as the program uses it: loaded with dlopen, serving simulated
// drives (ZVFIRM_SIMULATE is set before the library is first used), first through its two
// entry points directly, then through the program's ASPI transport.
#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "aspi/aspi_interface.h"
#include "platform/platform.h"
#include "platform/substitute/fake_system_info.h"
#include "scsi/aspi_execute.h"
#include "scsi/aspi_transport.h"
#include "scsi/command_status.h"
#include "scsi/failure_text.h"
#include "tests/support/temp_folder.h"

namespace {

using test_support::TempFolder;

// Target 0: a DVD drive, empty tray. Target 1: a disk (device type 0). Target 2: a drive
// whose START STOP UNIT never answers. Target 3: a drive that disappears at its first
// TEST UNIT READY.
constexpr char kDrives[] = R"(
[drive]
product = "DVDR   ZV-314K"
revision = 1.00
medium = empty

[drive]
device_type = 0x00

[drive]
fault = opcode 0x1B : timeout

[drive]
fault = opcode 0x00 : vanish
)";

// Bounded only so that a manager that never signals fails the test instead of hanging it.
constexpr uint32_t kCompletionBoundMs = 10000;

class AspiLibraryTest : public testing::Test {
protected:
    // One library and one set of drives for the whole suite, as in the program: the
    // manager reads the drive description once, when it is first used.
    static void SetUpTestSuite() {
        folder_ = new TempFolder;
        folder_->Write("drives.txt", kDrives);
        setenv("ZVFIRM_SIMULATE", (folder_->Path() / "drives.txt").c_str(), 1);
        library_ = dlopen(ZVASPI_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
        if (library_ == nullptr) return;
        support_ =
            reinterpret_cast<GetASPI32SupportInfoFn>(dlsym(library_, "GetASPI32SupportInfo"));
        send_ = reinterpret_cast<SendASPI32CommandFn>(dlsym(library_, "SendASPI32Command"));
    }
    static void TearDownTestSuite() {
        if (library_ != nullptr) dlclose(library_);
        library_ = nullptr;
        delete folder_;
        folder_ = nullptr;
    }

    void SetUp() override {
        ASSERT_NE(library_, nullptr) << dlerror();
        ASSERT_NE(support_, nullptr);
        ASSERT_NE(send_, nullptr);
    }

    // Sends an execute request and waits for it as the transport does.
    SRB_ExecSCSICmd Execute(uint8_t target, std::initializer_list<uint8_t> cdb, uint8_t flags,
                            uint8_t* data, uint32_t length, uint8_t* returned) {
        auto event = platform::Platform().Events->CreateAutoResetEvent();
        SRB_ExecSCSICmd request{};
        request.SRB_Cmd = SC_EXEC_SCSI_CMD;
        request.SRB_Target = target;
        request.SRB_Flags = static_cast<uint8_t>(flags | SRB_EVENT_NOTIFY);
        request.SRB_BufLen = length;
        request.SRB_BufPointer = data;
        request.SRB_SenseLen = 14;
        request.SRB_CDBLen = static_cast<uint8_t>(cdb.size());
        std::copy(cdb.begin(), cdb.end(), request.CDBByte);
        request.SRB_PostProc = reinterpret_cast<void*>(event->NativeHandle());
        *returned = static_cast<uint8_t>(send_(&request));
        // Signalled in both cases: after a pending request completes, and when the request
        // completed before the call returned.
        EXPECT_TRUE(event->Wait(*returned == SS_PENDING ? kCompletionBoundMs : 0))
            << "never signalled";
        return request;
    }

    static TempFolder* folder_;
    static void* library_;
    static GetASPI32SupportInfoFn support_;
    static SendASPI32CommandFn send_;
};

TempFolder* AspiLibraryTest::folder_ = nullptr;
void* AspiLibraryTest::library_ = nullptr;
GetASPI32SupportInfoFn AspiLibraryTest::support_ = nullptr;
SendASPI32CommandFn AspiLibraryTest::send_ = nullptr;

TEST_F(AspiLibraryTest, ExportsOnlyTheEntryPoints) {
    // The platform and simulation code linked into the library stays inside it.
    EXPECT_EQ(dlsym(library_, "_ZN8platform8PlatformEv"), nullptr);
    EXPECT_EQ(dlsym(library_, "_ZN3sim14AttachedDrivesEv"), nullptr);
}

TEST_F(AspiLibraryTest, OneAdapterWithTheSimulatedDrives) {
    EXPECT_EQ(support_(), 0x0101u);

    SRB_HAInquiry inquiry{};
    inquiry.SRB_Cmd = SC_HA_INQUIRY;
    EXPECT_EQ(send_(&inquiry), SS_COMP);
    EXPECT_EQ(inquiry.HA_Count, 1);
    EXPECT_EQ(inquiry.HA_Unique[3], 0) << "4 drives fit in the standard 8 targets";

    inquiry.SRB_HaId = 1;
    EXPECT_EQ(send_(&inquiry), SS_INVALID_HA);
}

TEST_F(AspiLibraryTest, DeviceTypesComeFromTheDrivesInquiryData) {
    const struct {
        uint8_t target, lun;
        uint8_t status, type;
    } kCases[] = {{0, 0, SS_COMP, 5},         {1, 0, SS_COMP, 0},
                  {2, 0, SS_COMP, 5},         {0, 1, SS_NO_DEVICE, 0x1F},
                  {4, 0, SS_NO_DEVICE, 0x1F}, {7, 0, SS_NO_DEVICE, 0x1F}};
    for (const auto& c : kCases) {
        SRB_GDEVBlock request{};
        request.SRB_Cmd = SC_GET_DEV_TYPE;
        request.SRB_Target = c.target;
        request.SRB_Lun = c.lun;
        EXPECT_EQ(send_(&request), c.status) << int(c.target) << "/" << int(c.lun);
        EXPECT_EQ(request.SRB_DeviceType, c.type) << int(c.target) << "/" << int(c.lun);
    }
}

TEST_F(AspiLibraryTest, AnInquiryTheDriveAnswersAtOnceCompletesBeforeTheCallReturns) {
    uint8_t data[36] = {};
    uint8_t returned = 0xFF;
    const SRB_ExecSCSICmd request =
        Execute(0, {0x12, 0, 0, 0, 36, 0}, SRB_DIR_IN, data, sizeof data, &returned);
    EXPECT_EQ(returned, SS_COMP);
    EXPECT_EQ(request.SRB_Status, SS_COMP);
    EXPECT_EQ(request.SRB_HaStat, 0);
    EXPECT_EQ(data[0], 5);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data) + 16, 16), "DVDR   ZV-314K  ");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data) + 32, 4), "1.00");
}

TEST_F(AspiLibraryTest, CheckConditionComesWithItsSense) {
    uint8_t returned = 0xFF;
    const SRB_ExecSCSICmd request = Execute(0, {0x00, 0, 0, 0, 0, 0}, 0, nullptr, 0, &returned);
    EXPECT_EQ(request.SRB_Status, SS_ERR);
    EXPECT_EQ(request.SRB_TargStat, 2);
    EXPECT_EQ(request.SenseArea[0], 0x70);
    EXPECT_EQ(request.SenseArea[kSenseKeyByte], 0x02);
    EXPECT_EQ(request.SenseArea[kSenseAsc], 0x3A);
    EXPECT_EQ(request.SenseArea[kSenseAscq], 0x01);
}

TEST_F(AspiLibraryTest, DriveThatDoesNotAnswerIsAnAdapterTimeOut) {
    uint8_t returned = 0xFF;
    const SRB_ExecSCSICmd request = Execute(2, {0x1B, 0, 0, 0, 2, 0}, 0, nullptr, 0, &returned);
    EXPECT_EQ(request.SRB_Status, SS_ERR);
    EXPECT_EQ(request.SRB_HaStat, HASTAT_COMMAND_TIMEOUT);
}

TEST_F(AspiLibraryTest, DriveThatVanishesIsNoDevice) {
    uint8_t returned = 0xFF;
    const SRB_ExecSCSICmd request = Execute(3, {0x00, 0, 0, 0, 0, 0}, 0, nullptr, 0, &returned);
    EXPECT_EQ(request.SRB_Status, SS_NO_DEVICE);
}

// The program's side: AspiOpen finds the library beside the executable, as it finds the
// manager built beside zvfirm.
TEST_F(AspiLibraryTest, TheTransportDrivesTheLibrary) {
    platform::substitute::FakeSystemInfo system;
    system.ExePath = (std::filesystem::path(ZVASPI_LIBRARY_PATH).parent_path() / "zvfirm").string();
    const platform::ScopedService scoped(&platform::Services::System, &system);

    ASSERT_EQ(AspiOpen(), 1);
    EXPECT_EQ(AspiAdapterCount(), 2u);
    SRB_HAInquiry* adapter = nullptr;
    EXPECT_EQ(AspiHostAdapterInquiry(0, &adapter), 0);
    EXPECT_EQ(adapter->HA_Count, 1);

    DriveEntry entry{};
    uint8_t type = 0;
    EXPECT_EQ(AspiGetDeviceType(entry, &type), 0);
    EXPECT_EQ(type, 5);

    uint8_t data[36] = {};
    const uint8_t inquiry[12] = {0x12, 0, 0, 0, 36, 0};
    EXPECT_EQ(AspiExecute(entry, data, sizeof data, inquiry, 6, kDirIn), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data) + 8, 8), "ZORVANT ");

    const uint8_t testUnitReady[12] = {};
    EXPECT_EQ(AspiExecute(entry, nullptr, 0, testUnitReady, 6, kDirNone), 4);
    EXPECT_EQ(CommandStatus->SenseArea[kSenseAsc], 0x3A);

    entry.Target = 2;
    const uint8_t openTray[12] = {0x1B, 0, 0, 0, 2, 0};
    EXPECT_EQ(AspiExecute(entry, nullptr, 0, openTray, 6, kDirNone), 2);
    std::string text;
    DescribeFailure(2, text);
    EXPECT_EQ(text, "HA_Status: While processing the SRB, the adapter timed out.");
    AspiClose();
}

}  // namespace
