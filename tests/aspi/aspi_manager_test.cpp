// The ASPI manager's inner parts: the bus read from a fake sysfs tree, the mapping of
// device outcomes to ASPI statuses, and execute requests completing, failing and being
// given up.
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "aspi/aspi_interface.h"
#include "aspi/aspi_manager.h"
#include "aspi/status_mapping.h"
#include "aspi/sysfs_bus.h"
#include "platform/platform.h"
#include "tests/support/temp_folder.h"

namespace {

using test_support::TempFolder;

namespace fs = std::filesystem;

// A sysfs tree with SCSI generic devices, and the matching /dev folder.
class FakeSysfs {
public:
    // Adds /sys/class/scsi_generic/<sg>/device -> the device folder "H:C:T:L" with its
    // type, and the host's driver name.
    void AddDevice(const std::string& sg, const std::string& address, int type,
                   const std::string& hostName) {
        const std::string host = "host" + address.substr(0, address.find(':'));
        const fs::path device = fs::path("sys/devices/pci0000:00") / host / address;
        folder_.Write(device / "type", std::to_string(type) + "\n");
        folder_.Write(fs::path("sys/class/scsi_host") / host / "proc_name", hostName + "\n");
        fs::create_directories(fs::path(Root()) / "class/scsi_generic" / sg);
        fs::create_symlink(fs::path("../../../devices/pci0000:00") / host / address,
                           fs::path(Root()) / "class/scsi_generic" / sg / "device");
    }
    // A device node that is a plain file: opening works, SG_IO does not.
    void AddNode(const std::string& sg) { folder_.Write(fs::path("dev") / sg, ""); }

    std::string Root() const { return (folder_.Path() / "sys").string(); }
    std::string Dev() const { return (folder_.Path() / "dev").string(); }

private:
    TempFolder folder_;
};

std::string Padded16(const uint8_t (&field)[16]) { return std::string(field, field + 16); }

// --- The bus from sysfs -----------------------------------------------------------------

class SysfsBusTest : public testing::Test {
protected:
    SysfsBusTest() {
        // sg names and addresses deliberately out of order; host 10 sorts after host 2.
        sysfs_.AddDevice("sg0", "10:0:0:0", 5, "usb-storage");
        sysfs_.AddDevice("sg1", "2:0:0:0", 0, "ahci");
        sysfs_.AddDevice("sg2", "2:1:3:0", 5, "ahci");
        sysfs_.AddDevice("sg3", "2:0:9:0", 5, "ahci");
        sysfs_.AddDevice("sg4", "0:0:1:0", 5, "ata_piix");
        // Not a SCSI address, and not an sg entry at all: both ignored.
        sysfs_.AddDevice("sg7", "not-an-address", 5, "ahci");
        sysfs_.AddDevice("bsg0", "3:0:0:0", 5, "other");
        sysfs_.AddNode("sg4");
    }

    FakeSysfs sysfs_;
};

TEST_F(SysfsBusTest, AdaptersAreHostChannelPairsInNumericOrder) {
    aspi::SysfsBus bus(sysfs_.Root(), sysfs_.Dev());
    ASSERT_EQ(bus.AdapterCount(), 4);
    const struct {
        const char* identifier;
        int maxTargets;
    } kExpected[] = {{"ata_piix", 8}, {"ahci", 10}, {"ahci", 8}, {"usb-storage", 8}};
    for (int adapter = 0; adapter < 4; ++adapter) {
        aspi::AdapterInfo info;
        ASSERT_TRUE(bus.Adapter(adapter, &info));
        EXPECT_EQ(info.identifier, kExpected[adapter].identifier) << adapter;
        EXPECT_EQ(info.maxTargets, kExpected[adapter].maxTargets) << adapter;
    }
    aspi::AdapterInfo info;
    EXPECT_FALSE(bus.Adapter(4, &info));
}

TEST_F(SysfsBusTest, TargetsAndDeviceTypes) {
    aspi::SysfsBus bus(sysfs_.Root(), sysfs_.Dev());
    const struct {
        int adapter, target, lun;
        bool present;
        uint8_t type;
    } kCases[] = {
        {0, 1, 0, true, 5},  {1, 0, 0, true, 0},  {1, 9, 0, true, 5},
        {2, 3, 0, true, 5},  {3, 0, 0, true, 5},  {0, 0, 0, false, 0},
        {1, 0, 1, false, 0}, {2, 0, 0, false, 0}, {5, 0, 0, false, 0},
    };
    for (const auto& c : kCases) {
        uint8_t type = 0xEE;
        EXPECT_EQ(bus.DeviceType(c.adapter, c.target, c.lun, &type), c.present)
            << c.adapter << ":" << c.target << ":" << c.lun;
        if (c.present) {
            EXPECT_EQ(type, c.type) << c.adapter << ":" << c.target;
        }
    }
}

TEST(SysfsBusEmptyTest, NoGenericDevicesMeansNoAdapters) {
    TempFolder empty;
    aspi::SysfsBus bus((empty.Path() / "sys").string(), (empty.Path() / "dev").string());
    EXPECT_EQ(bus.AdapterCount(), 0);
    aspi::Manager manager(std::make_unique<aspi::SysfsBus>((empty.Path() / "sys").string(), ""));
    EXPECT_EQ(manager.SupportInfo(), 0xE800u);
}

// --- Requests against the sysfs bus -----------------------------------------------------

class ManagerOnSysfsTest : public SysfsBusTest {
protected:
    ManagerOnSysfsTest()
        : manager_(std::make_unique<aspi::SysfsBus>(sysfs_.Root(), sysfs_.Dev())) {}
    aspi::Manager manager_;
};

TEST_F(ManagerOnSysfsTest, SupportInfoCountsTheAdapters) {
    EXPECT_EQ(manager_.SupportInfo(), 0x0104u);
}

TEST_F(ManagerOnSysfsTest, HostAdapterInquiry) {
    SRB_HAInquiry request{};
    request.SRB_Cmd = SC_HA_INQUIRY;
    request.SRB_HaId = 1;
    EXPECT_EQ(manager_.Send(&request), SS_COMP);
    EXPECT_EQ(request.SRB_Status, SS_COMP);
    EXPECT_EQ(request.HA_Count, 4);
    EXPECT_EQ(request.HA_SCSI_ID, 7);
    EXPECT_EQ(Padded16(request.HA_ManagerId), "ZVASPI32 LINUX  ");
    EXPECT_EQ(Padded16(request.HA_Identifier), "ahci            ");
    EXPECT_EQ(request.HA_Unique[0] | request.HA_Unique[1] << 8, 0) << "no alignment needed";
    EXPECT_EQ(request.HA_Unique[3], 10);

    request.SRB_HaId = 0;
    EXPECT_EQ(manager_.Send(&request), SS_COMP);
    EXPECT_EQ(request.HA_Unique[3], 0) << "8 targets are written as 0";

    request.SRB_HaId = 4;
    EXPECT_EQ(manager_.Send(&request), SS_INVALID_HA);
    EXPECT_EQ(request.HA_Count, 4) << "the count is there even for an adapter that is not";
}

TEST_F(ManagerOnSysfsTest, DeviceTypeRequests) {
    const struct {
        uint8_t adapter, target;
        uint8_t status, type;
    } kCases[] = {
        {1, 9, SS_COMP, 5},
        {1, 0, SS_COMP, 0},
        {1, 1, SS_NO_DEVICE, 0x1F},
        {4, 0, SS_INVALID_HA, 0xAB},
    };
    for (const auto& c : kCases) {
        SRB_GDEVBlock request{};
        request.SRB_Cmd = SC_GET_DEV_TYPE;
        request.SRB_HaId = c.adapter;
        request.SRB_Target = c.target;
        request.SRB_DeviceType = 0xAB;
        EXPECT_EQ(manager_.Send(&request), c.status) << int(c.adapter) << ":" << int(c.target);
        EXPECT_EQ(request.SRB_DeviceType, c.type) << int(c.adapter) << ":" << int(c.target);
    }
}

SRB_ExecSCSICmd MakeExecute(uint8_t adapter, uint8_t target, uint8_t flags, uint8_t* buffer,
                            uint32_t length, platform::Event* event) {
    SRB_ExecSCSICmd request{};
    request.SRB_Cmd = SC_EXEC_SCSI_CMD;
    request.SRB_HaId = adapter;
    request.SRB_Target = target;
    request.SRB_Flags = static_cast<uint8_t>(flags | (event != nullptr ? SRB_EVENT_NOTIFY : 0));
    request.SRB_BufLen = length;
    request.SRB_BufPointer = buffer;
    request.SRB_SenseLen = 14;
    request.SRB_CDBLen = 6;
    request.CDBByte[0] = 0x12;
    request.CDBByte[4] = static_cast<uint8_t>(length);
    if (event != nullptr) request.SRB_PostProc = reinterpret_cast<void*>(event->NativeHandle());
    return request;
}

// Bounded only so that a manager that never signals fails the test instead of hanging it.
constexpr uint32_t kCompletionBoundMs = 10000;

TEST_F(ManagerOnSysfsTest, RequestsThatCannotStartAreRefusedAtOnce) {
    uint8_t data[36];
    const struct {
        const char* what;
        uint8_t adapter, target, flags;
        uint8_t* buffer;
        uint32_t length;
        uint8_t cdbLength;
        uint8_t status;
    } kCases[] = {
        {"no such adapter", 4, 0, SRB_DIR_IN, data, 36, 6, SS_INVALID_HA},
        {"no such target", 0, 0, SRB_DIR_IN, data, 36, 6, SS_NO_DEVICE},
        {"both directions", 0, 1, SRB_DIR_IN | SRB_DIR_OUT, data, 36, 6, SS_INVALID_SRB},
        {"no command block", 0, 1, SRB_DIR_IN, data, 36, 0, SS_INVALID_SRB},
        {"command block too long", 0, 1, SRB_DIR_IN, data, 36, 17, SS_INVALID_SRB},
        {"no buffer", 0, 1, SRB_DIR_IN, nullptr, 36, 6, SS_INVALID_SRB},
        {"too much data", 0, 1, SRB_DIR_OUT, data, aspi::kMaxTransferLength + 1, 10,
         SS_BUFFER_TO_BIG},
    };
    for (const auto& c : kCases) {
        auto event = platform::Platform().Events->CreateAutoResetEvent();
        SRB_ExecSCSICmd request =
            MakeExecute(c.adapter, c.target, c.flags, c.buffer, c.length, event.get());
        request.SRB_CDBLen = c.cdbLength;
        EXPECT_EQ(manager_.Send(&request), c.status) << c.what;
        EXPECT_EQ(request.SRB_Status, c.status) << c.what;
        EXPECT_FALSE(event->Wait(0)) << c.what << ": a refused request is not signalled";
    }
}

TEST_F(ManagerOnSysfsTest, DeviceFailuresCompleteWithTheirStatusAndASignal) {
    // sg4 (adapter 0, target 1) is a plain file: it opens, but is no generic node, so the
    // command is sent whole by the adapter's request thread and SG_IO fails on it. sg0
    // (adapter 3, target 0) has no node at all: the device is gone, which is known before
    // Send returns.
    const struct {
        uint8_t adapter, target;
        uint8_t returned;
        uint8_t status, haStat;
    } kCases[] = {{0, 1, SS_PENDING, SS_ERR, aspi::kHaStatUnspecified},
                  {3, 0, SS_NO_DEVICE, SS_NO_DEVICE, 0}};
    for (const auto& c : kCases) {
        auto event = platform::Platform().Events->CreateAutoResetEvent();
        uint8_t data[36] = {};
        SRB_ExecSCSICmd request =
            MakeExecute(c.adapter, c.target, SRB_DIR_IN, data, sizeof data, event.get());
        EXPECT_EQ(manager_.Send(&request), c.returned) << int(c.adapter);
        ASSERT_TRUE(event->Wait(kCompletionBoundMs));
        EXPECT_EQ(request.SRB_Status, c.status) << int(c.adapter);
        EXPECT_EQ(request.SRB_HaStat, c.haStat) << int(c.adapter);
    }
}

TEST_F(ManagerOnSysfsTest, UnknownRequestIsRefused) {
    uint8_t request[16] = {0x7F};
    EXPECT_EQ(manager_.Send(request), SS_INVALID_CMD);
    EXPECT_EQ(request[1], SS_INVALID_CMD);
}

// --- Outcome to status ----------------------------------------------------------------

TEST(StatusMappingTest, DeviceOutcomesReadAsAspiStatuses) {
    const struct {
        const char* what;
        aspi::DeviceOutcome outcome;
        uint32_t requested;
        aspi::AspiStatus expected;
    } kCases[] = {
        {"good", {0, 0, 0, 0, 36, {}}, 36, {SS_COMP, 0, 0}},
        {"short transfer", {0, 0, 0, 0, 20, {}}, 36, {SS_COMP, HASTAT_DO_DU, 0}},
        {"check condition", {0, 2, 0, 0x08, 0, {0x70, 0, 5}}, 36, {SS_ERR, 0, 2}},
        {"busy", {0, 8, 0, 0, 0, {}}, 0, {SS_ERR, 0, 8}},
        {"reservation conflict", {0, 0x18, 0, 0, 0, {}}, 0, {SS_ERR, 0, 0x18}},
        {"no connect", {0, 0, 0x01, 0, 0, {}}, 0, {SS_ERR, HASTAT_SEL_TO, 0}},
        {"bad target", {0, 0, 0x04, 0, 0, {}}, 0, {SS_ERR, HASTAT_SEL_TO, 0}},
        {"bus busy", {0, 0, 0x02, 0, 0, {}}, 0, {SS_ERR, HASTAT_TIMEOUT, 0}},
        {"host time-out", {0, 0, 0x03, 0, 0, {}}, 0, {SS_ERR, HASTAT_COMMAND_TIMEOUT, 0}},
        {"driver time-out", {0, 0, 0, 0x06, 0, {}}, 0, {SS_ERR, HASTAT_COMMAND_TIMEOUT, 0}},
        {"aborted", {0, 0, 0x05, 0, 0, {}}, 0, {SS_ABORTED, 0, 0}},
        {"parity", {0, 0, 0x06, 0, 0, {}}, 0, {SS_ERR, HASTAT_PARITY_ERROR, 0}},
        {"reset", {0, 0, 0x08, 0, 0, {}}, 0, {SS_ERR, HASTAT_BUS_RESET, 0}},
        {"other host error", {0, 0, 0x07, 0, 0, {}}, 0, {SS_ERR, aspi::kHaStatUnspecified, 0}},
        {"host error and status", {0, 2, 0x03, 0, 0, {}}, 0, {SS_ERR, HASTAT_COMMAND_TIMEOUT, 2}},
        {"gone", {ENODEV, 0, 0, 0, 0, {}}, 0, {SS_NO_DEVICE, 0, 0}},
        {"no node", {ENOENT, 0, 0, 0, 0, {}}, 0, {SS_NO_DEVICE, 0, 0}},
        {"no right", {EACCES, 0, 0, 0, 0, {}}, 0, {SS_SECURITY_VIOLATION, 0, 0}},
        {"no memory", {ENOMEM, 0, 0, 0, 0, {}}, 0, {SS_ASPI_IS_BUSY, 0, 0}},
        {"refused", {EINVAL, 0, 0, 0, 0, {}}, 0, {SS_INVALID_SRB, 0, 0}},
        {"I/O error", {EIO, 0, 0, 0, 0, {}}, 0, {SS_ERR, aspi::kHaStatUnspecified, 0}},
    };
    for (const auto& c : kCases) {
        const aspi::AspiStatus status = aspi::MapDeviceOutcome(c.outcome, c.requested);
        EXPECT_EQ(status.srbStatus, c.expected.srbStatus) << c.what;
        EXPECT_EQ(status.haStat, c.expected.haStat) << c.what;
        EXPECT_EQ(status.targStat, c.expected.targStat) << c.what;
    }
}

// --- Completion and abort on a bus the test controls ------------------------------------

// One device at 0:0:0 whose commands finish only when the test lets them.
class HeldBus final : public aspi::Bus {
public:
    aspi::DeviceOutcome answer;
    std::vector<uint8_t> dataIn;
    std::promise<void> release;
    std::promise<void> returned;

    int AdapterCount() const override { return 1; }
    bool Adapter(int adapter, aspi::AdapterInfo* info) const override {
        *info = {};
        return adapter == 0;
    }
    bool DeviceType(int adapter, int target, int lun, uint8_t* type) const override {
        *type = 5;
        return HasDevice(adapter, target, lun);
    }
    bool HasDevice(int adapter, int target, int lun) const override {
        return adapter == 0 && target == 0 && lun == 0;
    }
    aspi::DeviceOutcome Execute(int, int, int, const uint8_t*, uint8_t, aspi::DataDirection,
                                uint8_t* data, uint32_t length) override {
        release.get_future().wait();
        std::memcpy(data, dataIn.data(), std::min<size_t>(dataIn.size(), length));
        return answer;
    }
};

class ManagerCompletionTest : public testing::Test {
protected:
    ManagerCompletionTest() {
        auto bus = std::make_unique<HeldBus>();
        bus_ = bus.get();
        manager_ = std::make_unique<aspi::Manager>(std::move(bus));
        event_ = platform::Platform().Events->CreateAutoResetEvent();
    }

    HeldBus* bus_;
    std::unique_ptr<aspi::Manager> manager_;
    std::unique_ptr<platform::Event> event_;
};

TEST_F(ManagerCompletionTest, CompletionFillsTheRecordThenSignals) {
    uint8_t data[8] = {0, 0, 0, 0, 0, 0, 0x55, 0x55};
    bus_->dataIn = {1, 2, 3, 4, 5, 6, 7, 8};
    bus_->answer.scsiStatus = 2;
    bus_->answer.transferred = 6;
    for (int i = 0; i < 18; ++i) bus_->answer.sense.push_back(static_cast<uint8_t>(0x70 + i));
    SRB_ExecSCSICmd request = MakeExecute(0, 0, SRB_DIR_IN, data, sizeof data, event_.get());
    request.SenseArea[14] = 0xCC;
    request.SenseArea[15] = 0xCC;

    EXPECT_EQ(manager_->Send(&request), SS_PENDING);
    EXPECT_FALSE(event_->Wait(0));
    bus_->release.set_value();
    ASSERT_TRUE(event_->Wait(kCompletionBoundMs));

    EXPECT_EQ(request.SRB_Status, SS_ERR);
    EXPECT_EQ(request.SRB_TargStat, 2);
    EXPECT_EQ(request.SRB_HaStat, 0);
    EXPECT_EQ(request.SenseArea[2], 0x72);
    EXPECT_EQ(request.SenseArea[13], 0x7D);
    EXPECT_EQ(request.SenseArea[14], 0xCC) << "no more sense than SRB_SenseLen asked for";
    EXPECT_EQ(std::vector<uint8_t>(data, data + 8),
              (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 0x55, 0x55}))
        << "only the bytes that arrived are written";

    SRB_Abort late{};
    late.SRB_Cmd = SC_ABORT_SRB;
    late.SRB_ToAbort = &request;
    EXPECT_EQ(manager_->Send(&late), SS_ABORT_FAIL);
    EXPECT_EQ(request.SRB_Status, SS_ERR) << "a finished request keeps its outcome";
}

TEST_F(ManagerCompletionTest, GivenUpRequestNoLongerTouchesTheCallersMemory) {
    uint8_t data[8] = {};
    bus_->dataIn = {1, 2, 3, 4, 5, 6, 7, 8};
    bus_->answer.transferred = 8;
    SRB_ExecSCSICmd request = MakeExecute(0, 0, SRB_DIR_IN, data, sizeof data, event_.get());
    ASSERT_EQ(manager_->Send(&request), SS_PENDING);

    SRB_Abort abort{};
    abort.SRB_Cmd = SC_ABORT_SRB;
    abort.SRB_ToAbort = &request;
    EXPECT_EQ(manager_->Send(&abort), SS_COMP);
    EXPECT_EQ(request.SRB_Status, SS_ABORTED);
    abort.SRB_Status = 0;
    EXPECT_EQ(manager_->Send(&abort), SS_ABORT_FAIL) << "only once";

    // The device finishes after all; its outcome must be dropped. A manager that still
    // delivered it would do so at once, well within the wait below.
    bus_->release.set_value();
    EXPECT_FALSE(event_->Wait(300));
    EXPECT_EQ(request.SRB_Status, SS_ABORTED);
    EXPECT_EQ(std::vector<uint8_t>(data, data + 8), std::vector<uint8_t>(8, 0));
}

// --- Answers at once, and one request thread per adapter ---------------------------------

// A bus whose devices have answered by the time a command is handed over.
class AnsweringBus final : public aspi::Bus {
public:
    aspi::DeviceOutcome answer;
    std::vector<uint8_t> dataIn;
    int executed = 0;
    bool takesOutgoing = false;            // what StartTakesOutgoingData says
    const uint8_t* startedWith = nullptr;  // the data Start was given
    std::vector<uint8_t> outgoingSeen;     // and what it held then

    int AdapterCount() const override { return 1; }
    bool Adapter(int adapter, aspi::AdapterInfo* info) const override {
        *info = {};
        return adapter == 0;
    }
    bool DeviceType(int, int, int, uint8_t* type) const override {
        *type = 5;
        return true;
    }
    bool HasDevice(int adapter, int, int) const override { return adapter == 0; }
    aspi::DeviceOutcome Execute(int, int, int, const uint8_t*, uint8_t, aspi::DataDirection,
                                uint8_t*, uint32_t) override {
        ADD_FAILURE() << "a command the device answered at once is not carried out again";
        return {};
    }
    bool StartTakesOutgoingData() const override { return takesOutgoing; }
    std::unique_ptr<aspi::StartedCommand> Start(int, int, int, const uint8_t*, uint8_t,
                                                aspi::DataDirection direction, uint8_t* data,
                                                uint32_t length) override {
        ++executed;
        startedWith = data;
        if (direction == aspi::DataDirection::Out) {
            outgoingSeen.assign(data, data + length);
        } else {
            std::memcpy(data, dataIn.data(), std::min<size_t>(dataIn.size(), length));
        }
        struct Answered final : aspi::StartedCommand {
            aspi::DeviceOutcome outcome;
            bool TryCollect(aspi::DeviceOutcome* out) override {
                *out = outcome;
                return true;
            }
            aspi::DeviceOutcome Collect() override { return outcome; }
        };
        auto command = std::make_unique<Answered>();
        command->outcome = answer;
        return command;
    }
};

TEST(ManagerAnswerAtOnceTest, CompletesBeforeSendReturnsAndStillSignals) {
    auto bus = std::make_unique<AnsweringBus>();
    AnsweringBus& device = *bus;
    aspi::Manager manager(std::move(bus));
    device.dataIn = {1, 2, 3, 4};
    device.answer.scsiStatus = 2;
    device.answer.transferred = 4;
    device.answer.sense = {0x70, 0, 0x06, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x29, 0};
    auto event = platform::Platform().Events->CreateAutoResetEvent();
    uint8_t data[6] = {0, 0, 0, 0, 0x55, 0x55};
    SRB_ExecSCSICmd request = MakeExecute(0, 0, SRB_DIR_IN, data, sizeof data, event.get());

    EXPECT_EQ(manager.Send(&request), SS_ERR);
    EXPECT_EQ(request.SRB_Status, SS_ERR);
    EXPECT_EQ(request.SRB_TargStat, 2);
    EXPECT_EQ(request.SenseArea[12], 0x29);
    EXPECT_EQ(std::vector<uint8_t>(data, data + 6), (std::vector<uint8_t>{1, 2, 3, 4, 0x55, 0x55}));
    EXPECT_TRUE(event->Wait(0)) << "a caller that waits for the event is not left waiting";
    EXPECT_EQ(device.executed, 1);

    SRB_Abort late{};
    late.SRB_Cmd = SC_ABORT_SRB;
    late.SRB_ToAbort = &request;
    EXPECT_EQ(manager.Send(&late), SS_ABORT_FAIL) << "nothing is left to give up";
}

TEST(ManagerAnswerAtOnceTest, OutgoingDataIsLentOnlyToABusThatTakesItAtStart) {
    for (const bool takes : {false, true}) {
        auto bus = std::make_unique<AnsweringBus>();
        AnsweringBus& device = *bus;
        device.takesOutgoing = takes;
        device.answer.transferred = 4;
        aspi::Manager manager(std::move(bus));
        uint8_t data[4] = {9, 8, 7, 6};
        SRB_ExecSCSICmd request = MakeExecute(0, 0, SRB_DIR_OUT, data, sizeof data, nullptr);
        EXPECT_EQ(manager.Send(&request), SS_COMP) << takes;
        EXPECT_EQ(device.outgoingSeen, (std::vector<uint8_t>{9, 8, 7, 6})) << takes;
        // A bus that reads the data later gets the manager's own copy: the caller may have
        // given the request up (and freed its buffer) by then.
        EXPECT_EQ(device.startedWith == data, takes);
    }
}

// Two adapters whose commands finish only when the test opens the adapter's gate; records
// the order in which the commands were carried out.
class GateBus final : public aspi::Bus {
public:
    GateBus(std::shared_future<void> gate0, std::shared_future<void> gate1)
        : gates_{std::move(gate0), std::move(gate1)} {}

    std::mutex mutex;
    std::vector<uint8_t> order;  // the first command byte of each command carried out

    int AdapterCount() const override { return 2; }
    bool Adapter(int adapter, aspi::AdapterInfo* info) const override {
        *info = {};
        return adapter < 2;
    }
    bool DeviceType(int, int, int, uint8_t* type) const override {
        *type = 5;
        return true;
    }
    bool HasDevice(int adapter, int target, int) const override {
        return adapter < 2 && target == 0;
    }
    aspi::DeviceOutcome Execute(int adapter, int, int, const uint8_t* cdb, uint8_t,
                                aspi::DataDirection, uint8_t*, uint32_t) override {
        gates_[adapter].wait();
        std::lock_guard<std::mutex> lock(mutex);
        order.push_back(cdb[0]);
        return {};
    }

private:
    std::shared_future<void> gates_[2];
};

size_t ThreadsOfThisProcess() {
    size_t count = 0;
    for ([[maybe_unused]] const auto& task : fs::directory_iterator("/proc/self/task")) ++count;
    return count;
}

TEST(ManagerRequestThreadTest, EachAdapterHasOneThreadThatCarriesItsRequestsOutInOrder) {
    std::promise<void> open0, open1;
    auto bus = std::make_unique<GateBus>(open0.get_future().share(), open1.get_future().share());
    GateBus& device = *bus;
    aspi::Manager manager(std::move(bus));

    constexpr int kPerAdapter = 4;
    std::vector<std::unique_ptr<platform::Event>> events;
    std::vector<SRB_ExecSCSICmd> requests(2 * kPerAdapter);
    size_t threadsForTheFirstRequests = 0;
    for (int i = 0; i < 2 * kPerAdapter; ++i) {
        events.push_back(platform::Platform().Events->CreateAutoResetEvent());
        requests[i] =
            MakeExecute(static_cast<uint8_t>(i % 2), 0, 0, nullptr, 0, events.back().get());
        requests[i].CDBByte[0] = static_cast<uint8_t>(i);
        ASSERT_EQ(manager.Send(&requests[i]), SS_PENDING);
        // Counted once both adapters have a request: a thread checker may start threads
        // of its own with the first thread of the process.
        if (i == 1) threadsForTheFirstRequests = ThreadsOfThisProcess();
    }
    EXPECT_EQ(ThreadsOfThisProcess(), threadsForTheFirstRequests)
        << "later requests, held up behind the first, start no thread of their own";

    // Adapter 1 goes on while adapter 0's first command still holds its thread.
    open1.set_value();
    for (int i = 1; i < 2 * kPerAdapter; i += 2) {
        ASSERT_TRUE(events[i]->Wait(kCompletionBoundMs)) << i;
        EXPECT_EQ(requests[i].SRB_Status, SS_COMP) << i;
    }
    for (int i = 0; i < 2 * kPerAdapter; i += 2) EXPECT_FALSE(events[i]->Wait(0)) << i;

    open0.set_value();
    for (int i = 0; i < 2 * kPerAdapter; i += 2) {
        ASSERT_TRUE(events[i]->Wait(kCompletionBoundMs)) << i;
        EXPECT_EQ(requests[i].SRB_Status, SS_COMP) << i;
    }
    std::vector<uint8_t> adapter0, adapter1;
    for (uint8_t byte : device.order) (byte % 2 == 0 ? adapter0 : adapter1).push_back(byte);
    EXPECT_EQ(adapter0, (std::vector<uint8_t>{0, 2, 4, 6}));
    EXPECT_EQ(adapter1, (std::vector<uint8_t>{1, 3, 5, 7}));
}

}  // namespace
