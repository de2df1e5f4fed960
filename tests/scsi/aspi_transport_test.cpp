// The ASPI transport against a scripted ASPI manager: the test supplies the manager's two
// entry points through the scripted library loader.
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "aspi/aspi_interface.h"
#include "platform/linux/linux_events.h"
#include "platform/platform.h"
#include "platform/substitute/fake_system_info.h"
#include "platform/substitute/scripted_library_loader.h"
#include "scsi/aspi_execute.h"
#include "scsi/aspi_library.h"
#include "scsi/aspi_transport.h"
#include "scsi/command_run.h"
#include "scsi/command_status.h"
#include "scsi/failure_text.h"

namespace {

using platform::substitute::ScriptedLibraryLoader;

constexpr char kExecutable[] = "/opt/zvfirm/zvfirm";
constexpr char kBesideExecutable[] = "/opt/zvfirm/libzvaspi32.so";
constexpr char kBareName[] = "libzvaspi32.so";

// Real events (so the manager's signal through the native handle works, from the manager's
// own thread, while the transport waits), with every wait recorded; FakeEventFactory never
// waits, so it cannot serve here. `onWait` runs when a wait starts: a pending request
// completes only then, which proves the transport waited for it. With `timeOutWaits` a
// wait reports its time-out at once instead of waiting.
class RecordingEvents final : public platform::EventFactory {
public:
    bool failCreation = false;
    bool timeOutWaits = false;
    std::vector<uint32_t> waitTimeouts;
    std::vector<intptr_t> nativeHandles;
    std::function<void()> onWait;

    std::unique_ptr<platform::Event> CreateAutoResetEvent() override {
        if (failCreation) return nullptr;
        auto real = saved_->CreateAutoResetEvent();
        if (real == nullptr) return nullptr;
        nativeHandles.push_back(real->NativeHandle());
        return std::make_unique<Recorded>(std::move(real), *this);
    }

    explicit RecordingEvents(platform::EventFactory* real) : saved_(real) {}

private:
    class Recorded final : public platform::Event {
    public:
        Recorded(std::unique_ptr<platform::Event> real, RecordingEvents& owner)
            : real_(std::move(real)), owner_(owner) {}
        void Signal() override { real_->Signal(); }
        bool Wait(uint32_t timeoutMs) override {
            owner_.waitTimeouts.push_back(timeoutMs);
            if (owner_.onWait) owner_.onWait();
            if (owner_.timeOutWaits) return false;
            return real_->Wait(timeoutMs);
        }
        void Reset() override { real_->Reset(); }
        intptr_t NativeHandle() const override { return real_->NativeHandle(); }

    private:
        std::unique_ptr<platform::Event> real_;
        RecordingEvents& owner_;
    };

    platform::EventFactory* saved_;
};

// What the scripted manager does with an execute request.
struct ExecuteScript {
    bool pend = false;          // return SS_PENDING and complete on another thread once the
                                // transport waits
    bool signalAtOnce = false;  // a request not pending still has its event signalled
    bool neverComplete = false;
    bool honourAbort = true;  // SC_ABORT_SRB marks the pending request SS_ABORTED
    uint8_t status = SS_COMP;
    uint8_t haStat = 0;
    uint8_t targStat = 0;
    std::vector<uint8_t> sense;
    std::vector<uint8_t> dataIn;  // written at SRB_BufPointer
};

// The scripted manager behind the two entry points; one per test.
struct ScriptedManager {
    uint32_t supportInfo = 0x0101;
    ExecuteScript script;
    uint8_t haInquiryStatus = SS_COMP;
    uint8_t deviceTypeStatus = SS_COMP;
    uint8_t deviceType = 5;

    std::vector<uint8_t> commands;  // SRB_Cmd of every request, in order
    SRB_HAInquiry inquirySeen{};
    SRB_GDEVBlock deviceTypeSeen{};
    SRB_ExecSCSICmd executeSeen{};  // the execute request as sent
    std::vector<uint8_t> dataSeen;  // SRB_BufLen bytes at SRB_BufPointer when sent
    SRB_Abort abortSeen{};

    SRB_ExecSCSICmd* pending = nullptr;
    std::thread completer;
    std::promise<void> transportWaits;

    void Complete(SRB_ExecSCSICmd& request) {
        if (!script.dataIn.empty())
            std::memcpy(request.SRB_BufPointer, script.dataIn.data(), script.dataIn.size());
        if (!script.sense.empty())
            std::memcpy(request.SenseArea, script.sense.data(), script.sense.size());
        request.SRB_HaStat = script.haStat;
        request.SRB_TargStat = script.targStat;
        std::atomic_ref<uint8_t>(request.SRB_Status)
            .store(script.status, std::memory_order_release);
    }
};

ScriptedManager* manager = nullptr;

uint32_t ScriptedSupportInfo() { return manager->supportInfo; }

uint32_t ScriptedSend(void* srb) {
    const uint8_t command = static_cast<uint8_t*>(srb)[0];
    manager->commands.push_back(command);
    switch (command) {
    case SC_HA_INQUIRY: {
        auto& request = *static_cast<SRB_HAInquiry*>(srb);
        manager->inquirySeen = request;
        request.HA_Count = 2;
        request.SRB_Status = manager->haInquiryStatus;
        return request.SRB_Status;
    }
    case SC_GET_DEV_TYPE: {
        auto& request = *static_cast<SRB_GDEVBlock*>(srb);
        manager->deviceTypeSeen = request;
        request.SRB_DeviceType = manager->deviceType;
        request.SRB_Status = manager->deviceTypeStatus;
        return request.SRB_Status;
    }
    case SC_EXEC_SCSI_CMD: {
        auto& request = *static_cast<SRB_ExecSCSICmd*>(srb);
        manager->executeSeen = request;
        manager->dataSeen.assign(request.SRB_BufPointer,
                                 request.SRB_BufPointer + request.SRB_BufLen);
        if (!manager->script.pend) {
            manager->Complete(request);
            if (manager->script.signalAtOnce)
                platform::SignalNativeEvent(reinterpret_cast<intptr_t>(request.SRB_PostProc));
            return request.SRB_Status;
        }
        request.SRB_Status = SS_PENDING;
        manager->pending = &request;
        if (!manager->script.neverComplete) {
            manager->completer = std::thread([&request, handle = request.SRB_PostProc] {
                // Bounded only so that a transport that never waits fails the test
                // instead of hanging it.
                manager->transportWaits.get_future().wait_for(std::chrono::seconds(10));
                manager->Complete(request);
                platform::SignalNativeEvent(reinterpret_cast<intptr_t>(handle));
            });
        }
        return SS_PENDING;
    }
    case SC_ABORT_SRB: {
        auto& request = *static_cast<SRB_Abort*>(srb);
        manager->abortSeen = request;
        if (manager->script.honourAbort && request.SRB_ToAbort == manager->pending) {
            manager->pending->SRB_Status = SS_ABORTED;
            request.SRB_Status = SS_COMP;
        } else {
            request.SRB_Status = SS_ABORT_FAIL;
        }
        return request.SRB_Status;
    }
    default: return SS_INVALID_CMD;
    }
}

void* SupportSymbol() { return reinterpret_cast<void*>(&ScriptedSupportInfo); }
void* SendSymbol() { return reinterpret_cast<void*>(&ScriptedSend); }

// clang-format off
const ScriptedLibraryLoader::Symbols kCompleteManager = {
    {"GetASPI32SupportInfo", SupportSymbol()}, {"SendASPI32Command", SendSymbol()}};

class AspiTransportTest : public testing::Test {
protected:
    AspiTransportTest() : events_(platform::Platform().Events), scoped_(Replaced()) {
        manager = &manager_;
        events_.onWait = [this] {
            if (++waitsStarted_ == completeOnWait_) manager_.transportWaits.set_value();
        };
    }
    ~AspiTransportTest() override {
        AspiClose();
        if (manager_.completer.joinable()) manager_.completer.join();
        manager = nullptr;
    }

    platform::Services Replaced() {
        platform::Services services = platform::Platform();
        services.Libraries = &loader_;
        services.System = &system_;
        services.Events = &events_;
        return services;
    }

    void OpenCompleteManager() {
        loader_.AddLibrary(kBesideExecutable, kCompleteManager);
        ASSERT_EQ(AspiOpen(), 1);
    }

    ScriptedLibraryLoader loader_;
    platform::substitute::FakeSystemInfo system_;
    RecordingEvents events_;
    ScriptedManager manager_;
    int waitsStarted_ = 0;
    int completeOnWait_ = 1;  // the wait whose start lets a pending request complete
    platform::ScopedServices scoped_;
    DriveEntry entry_{};
};
// clang-format on

// --- Loading the manager --------------------------------------------------------------

TEST_F(AspiTransportTest, OpensTheManagerBesideTheExecutableFirst) {
    loader_.AddLibrary(kBesideExecutable, kCompleteManager);
    loader_.AddLibrary(kBareName, kCompleteManager);

    EXPECT_EQ(AspiOpen(), 1);
    EXPECT_EQ(loader_.Loads(), std::vector<std::string>{kBesideExecutable});
    AspiClose();
    EXPECT_EQ(loader_.Frees(), std::vector<std::string>{kBesideExecutable});
    EXPECT_EQ(loader_.OpenCount(), 0);
    EXPECT_EQ(AspiAdapterCount(), 0u) << "no entry point may be used after AspiClose";
}

TEST_F(AspiTransportTest, FallsBackToTheLibrarySearch) {
    loader_.AddLibrary(kBareName, kCompleteManager);

    EXPECT_EQ(AspiOpen(), 1);
    EXPECT_EQ(loader_.Loads(), (std::vector<std::string>{kBesideExecutable, kBareName}));
}

TEST_F(AspiTransportTest, MissingLibraryCannotBeOpened) {
    EXPECT_EQ(AspiOpen(), 0);
    EXPECT_EQ(loader_.Loads(), (std::vector<std::string>{kBesideExecutable, kBareName}));
    EXPECT_EQ(AspiAdapterCount(), 0u);
}

TEST_F(AspiTransportTest, LibraryWithoutAnEntryPointCountsAsNotLoadable) {
    // clang-format off
    const ScriptedLibraryLoader::Symbols kCases[] = {
        {{"GetASPI32SupportInfo", SupportSymbol()}},
        {{"SendASPI32Command", SendSymbol()}},
        {},
    };
    // clang-format on
    for (const auto& symbols : kCases) {
        ScriptedLibraryLoader loader;
        loader.AddLibrary(kBesideExecutable, symbols);
        loader.AddLibrary(kBareName, symbols);
        const platform::ScopedService libraries(&platform::Services::Libraries, &loader);

        EXPECT_EQ(AspiOpen(), 0) << symbols.size() << " symbols";
        EXPECT_EQ(loader.Loads().size(), 2u);
        EXPECT_EQ(loader.OpenCount(), 0) << "every incomplete library is freed again";
        EXPECT_EQ(AspiAdapterCount(), 0u);
    }
}

TEST_F(AspiTransportTest, IncompleteLibraryBesideTheExecutableGivesWayToACompleteOne) {
    loader_.AddLibrary(kBesideExecutable, {{"GetASPI32SupportInfo", SupportSymbol()}});
    loader_.AddLibrary(kBareName, kCompleteManager);

    EXPECT_EQ(AspiOpen(), 1);
    EXPECT_EQ(loader_.Frees(), std::vector<std::string>{kBesideExecutable});
    EXPECT_EQ(loader_.OpenCount(), 1);
    manager_.supportInfo = 0x0102;
    EXPECT_EQ(AspiAdapterCount(), 3u);
}

TEST_F(AspiTransportTest, AdapterCountIsTheManagersCountPlusOne) {
    OpenCompleteManager();
    const struct {
        uint32_t support;
        uint32_t expected;
    } kCases[] = {
        {0x0102, 3}, {0x0100, 1}, {0xE800, 0}, {0x01FF, 256}, {0x0402, 0}, {0x0002, 0},
    };
    for (const auto& c : kCases) {
        manager_.supportInfo = c.support;
        EXPECT_EQ(AspiAdapterCount(), c.expected) << std::hex << c.support;
    }
}

// --- Bus queries --------------------------------------------------------------------

TEST_F(AspiTransportTest, HostAdapterInquiryWritesItsFieldsAndReportsTheStatus) {
    OpenCompleteManager();
    SRB_HAInquiry* answer = nullptr;

    EXPECT_EQ(AspiHostAdapterInquiry(3, &answer), 0);
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(manager_.inquirySeen.SRB_Cmd, SC_HA_INQUIRY);
    EXPECT_EQ(manager_.inquirySeen.SRB_HaId, 3);
    EXPECT_EQ(manager_.inquirySeen.SRB_Flags, 0);
    EXPECT_EQ(manager_.inquirySeen.SRB_Hdr_Rsvd, 0u);
    EXPECT_EQ(answer->HA_Count, 2);

    manager_.haInquiryStatus = SS_INVALID_HA;
    SRB_HAInquiry* failed = nullptr;
    EXPECT_EQ(AspiHostAdapterInquiry(9, &failed), 1);
    EXPECT_EQ(failed, answer) << "the reference is set whatever the status";
}

TEST_F(AspiTransportTest, DeviceTypeIsStoredWhateverTheStatus) {
    OpenCompleteManager();
    entry_.HaId = 1;
    entry_.Target = 4;
    entry_.Lun = 0;
    uint8_t type = 0xEE;

    EXPECT_EQ(AspiGetDeviceType(entry_, &type), 0);
    EXPECT_EQ(type, 5);
    EXPECT_EQ(manager_.deviceTypeSeen.SRB_Cmd, SC_GET_DEV_TYPE);
    EXPECT_EQ(manager_.deviceTypeSeen.SRB_HaId, 1);
    EXPECT_EQ(manager_.deviceTypeSeen.SRB_Target, 4);
    EXPECT_EQ(manager_.deviceTypeSeen.SRB_Flags, 0);

    manager_.deviceTypeStatus = SS_NO_DEVICE;
    manager_.deviceType = 0x1F;
    EXPECT_EQ(AspiGetDeviceType(entry_, &type), 1);
    EXPECT_EQ(type, 0x1F);
}

// --- Execute ------------------------------------------------------------------------

TEST_F(AspiTransportTest, ExecuteRequestCarriesTheCommandAndIsTheStatusRecord) {
    OpenCompleteManager();
    entry_ = {};
    entry_.HaId = 2;
    entry_.Target = 5;
    const uint8_t cdb[12] = {0x12, 0, 0, 0, 36, 0, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
    uint8_t data[36] = {};

    EXPECT_EQ(AspiExecute(entry_, data, sizeof data, cdb, 6, kDirIn), 0);

    const SRB_ExecSCSICmd& sent = manager_.executeSeen;
    EXPECT_EQ(sent.SRB_Cmd, SC_EXEC_SCSI_CMD);
    EXPECT_EQ(sent.SRB_HaId, 2);
    EXPECT_EQ(sent.SRB_Target, 5);
    EXPECT_EQ(sent.SRB_Lun, 0);
    EXPECT_EQ(sent.SRB_Flags, kDirIn | SRB_EVENT_NOTIFY);
    EXPECT_EQ(sent.SRB_BufLen, sizeof data);
    EXPECT_EQ(sent.SRB_SenseLen, 14);
    EXPECT_EQ(sent.SRB_CDBLen, 6);
    EXPECT_EQ(std::vector<uint8_t>(sent.CDBByte, sent.CDBByte + 16),
              (std::vector<uint8_t>{0x12, 0, 0, 0, 36, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    ASSERT_EQ(events_.nativeHandles.size(), 1u);
    EXPECT_EQ(reinterpret_cast<intptr_t>(sent.SRB_PostProc), events_.nativeHandles[0]);
    EXPECT_EQ(CommandStatus->SRB_Cmd, SC_EXEC_SCSI_CMD);
    EXPECT_EQ(CommandStatus->SRB_Status, SS_COMP);
}

TEST_F(AspiTransportTest, AtapiEntrySendsTwelveByteBlocks) {
    OpenCompleteManager();
    entry_.Atapi = 1;
    const uint8_t testUnitReady[12] = {};

    EXPECT_EQ(AspiExecute(entry_, nullptr, 0, testUnitReady, 6, kDirNone), 0);
    EXPECT_EQ(manager_.executeSeen.SRB_CDBLen, 12);
    EXPECT_EQ(CommandStatus->SRB_CDBLen, 12);
    EXPECT_EQ(manager_.executeSeen.SRB_Flags, SRB_EVENT_NOTIFY);
}

struct OutcomeCase {
    uint8_t status, haStat, targStat, senseKey;
    ScsiResult expected;
};

// The result rules, in the order status, adapter, target: a later rule that holds wins.
// clang-format off
const OutcomeCase kOutcomes[] = {
    {SS_COMP, 0, 0, 0, 0},
    {SS_ERR, 0, 2, 0x09, 4},
    {SS_ERR, 0, 2, 0x00, 4},          // a target status without sense is still the target's
    {SS_ERR, 0, 8, 0x00, 4},          // BUSY
    {SS_ERR, 0, 0x18, 0x00, 4},       // RESERVATION CONFLICT
    {SS_COMP, 0, 4, 0x00, 0},         // CONDITION MET is a success
    {SS_COMP, 0, 4, 0x06, 4},         // ... unless the target left sense data
    {SS_COMP, 0x12, 0, 0, 0},         // data over- or underrun is no error
    {SS_ERR, 0x11, 0, 0, 2},          // selection time-out
    {SS_ERR, 0x11, 2, 0x05, 4},       // everything wrong: the target's sense wins
    {SS_COMP, 0x0B, 0, 0, 2},
    {SS_COMP, 0, 2, 0x00, 4},
    {SS_COMP, 0, 8, 0x24, 4},         // sense key byte compared whole
    {SS_NO_DEVICE, 0, 0, 0, 1},
    {SS_ABORTED, 0x12, 0, 0, 1},
    {SS_ERR, 0x12, 2, 0x00, 4},       // underrun is no error; the target status is
};
// clang-format on

TEST_F(AspiTransportTest, ResultFollowsStatusAdapterAndTargetInThatOrder) {
    OpenCompleteManager();
    const uint8_t cdb[12] = {0x00};
    for (const bool pend : {false, true}) {
        for (const OutcomeCase& c : kOutcomes) {
            manager_.script = {};
            manager_.script.pend = pend;
            manager_.script.status = c.status;
            manager_.script.haStat = c.haStat;
            manager_.script.targStat = c.targStat;
            manager_.script.sense = {0x70, 0, c.senseKey};
            manager_.transportWaits = {};
            waitsStarted_ = 0;

            EXPECT_EQ(AspiExecute(entry_, nullptr, 0, cdb, 6, kDirNone), c.expected)
                << (pend ? "pending " : "at once ") << "status " << int(c.status) << " ha "
                << int(c.haStat) << " targ " << int(c.targStat) << " key " << int(c.senseKey);
            if (manager_.completer.joinable()) manager_.completer.join();
            EXPECT_EQ(CommandStatus->SRB_Status, c.status);
            EXPECT_EQ(CommandStatus->SenseArea[kSenseKeyByte], c.senseKey);
        }
    }
}

TEST_F(AspiTransportTest, WaitsOnlyForAPendingRequest) {
    OpenCompleteManager();
    const uint8_t cdb[12] = {0x00};

    EXPECT_EQ(AspiExecute(entry_, nullptr, 0, cdb, 6, kDirNone), 0);
    EXPECT_TRUE(events_.waitTimeouts.empty()) << "a finished request is not waited for";

    manager_.script.pend = true;
    manager_.script.status = SS_ERR;
    manager_.script.targStat = 2;
    manager_.script.sense = {0x70, 0, 0x09, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x86, 0x00};
    EXPECT_EQ(AspiExecute(entry_, nullptr, 0, cdb, 6, kDirNone), 4);
    EXPECT_EQ(events_.waitTimeouts, std::vector<uint32_t>{kAspiWaitLimitMs});
    EXPECT_EQ(CommandStatus->SenseArea[12], 0x86);
    EXPECT_EQ(std::count(manager_.commands.begin(), manager_.commands.end(), SC_ABORT_SRB), 0);
}

TEST_F(AspiTransportTest, ARunKeepsOneEventAndWaitsPastTheSignalOfAnEarlierRequest) {
    OpenCompleteManager();
    const uint8_t cdb[12] = {0x00};
    const CommandRun run;
    // Completed before the call returns, and signalled all the same: the run's event keeps
    // that signal, since it is not reset between requests.
    manager_.script.signalAtOnce = true;
    EXPECT_EQ(AspiExecute(entry_, nullptr, 0, cdb, 6, kDirNone), 0);
    EXPECT_EQ(AspiExecute(entry_, nullptr, 0, cdb, 6, kDirNone), 0);

    // The next request is pending and completes only once a second wait has begun: the
    // first wait wakes at once, on the earlier signal, and must not end the request.
    manager_.script.pend = true;
    completeOnWait_ = 2;
    EXPECT_EQ(AspiExecute(entry_, nullptr, 0, cdb, 6, kDirNone), 0);
    EXPECT_EQ(CommandStatus->SRB_Status, SS_COMP);
    EXPECT_EQ(std::count(manager_.commands.begin(), manager_.commands.end(), SC_ABORT_SRB), 0);
    EXPECT_EQ(events_.waitTimeouts.size(), 2u);
    EXPECT_EQ(events_.nativeHandles.size(), 1u) << "one event serves the whole run";
}

TEST_F(AspiTransportTest, OutsideARunEachRequestHasAnEventOfItsOwn) {
    OpenCompleteManager();
    const uint8_t cdb[12] = {0x00};
    for (int i = 0; i < 3; ++i) EXPECT_EQ(AspiExecute(entry_, nullptr, 0, cdb, 6, kDirNone), 0);
    EXPECT_EQ(events_.nativeHandles.size(), 3u);
}

TEST_F(AspiTransportTest, DataInLandsInTheCallersBufferWhateverTheAlignment) {
    OpenCompleteManager();
    entry_.AlignMask = 3;
    const uint8_t cdb[12] = {0x12, 0, 0, 0, 5, 0};
    uint8_t storage[9] = {};
    uint8_t* unaligned = reinterpret_cast<uintptr_t>(storage) % 4 == 1 ? storage : storage + 1;
    while (reinterpret_cast<uintptr_t>(unaligned) % 4 != 1) ++unaligned;
    manager_.script.pend = true;
    manager_.script.dataIn = {5, 0x80, 0, 0x21, 31};

    EXPECT_EQ(AspiExecute(entry_, unaligned, 5, cdb, 6, kDirIn), 0);
    EXPECT_EQ(manager_.executeSeen.SRB_BufPointer, unaligned);
    EXPECT_EQ(std::vector<uint8_t>(unaligned, unaligned + 5), manager_.script.dataIn);
}

TEST_F(AspiTransportTest, DataOutIsSentFromAnAlignedCopy) {
    OpenCompleteManager();
    const uint8_t cdb[12] = {0x3B, 0x04, 0, 0, 0, 0, 0, 0, 16, 0};
    for (const uint32_t mask : {0u, 1u, 7u, 0xFFFu}) {
        entry_.AlignMask = mask;
        uint8_t data[16];
        for (int i = 0; i < 16; ++i) data[i] = static_cast<uint8_t>(0xA0 + i);
        const std::vector<uint8_t> original(data, data + 16);
        manager_.script = {};
        manager_.script.dataIn = std::vector<uint8_t>(16, 0xEE);  // a manager that scribbles

        EXPECT_EQ(AspiExecute(entry_, data, sizeof data, cdb, 10, kDirOut), 0);
        EXPECT_NE(manager_.executeSeen.SRB_BufPointer, data);
        EXPECT_EQ(
            reinterpret_cast<uintptr_t>(manager_.executeSeen.SRB_BufPointer) % (uint64_t{mask} + 1),
            0u)
            << "mask " << mask;
        EXPECT_EQ(manager_.dataSeen, original);
        EXPECT_EQ(std::vector<uint8_t>(data, data + 16), original)
            << "the caller's data is never written";
        EXPECT_EQ(manager_.executeSeen.SRB_Flags, kDirOut | SRB_EVENT_NOTIFY);
    }
}

TEST_F(AspiTransportTest, EmptyDataOutStillSends) {
    OpenCompleteManager();
    const uint8_t cdb[12] = {0x3B, 0x05};
    entry_.AlignMask = 3;

    EXPECT_EQ(AspiExecute(entry_, nullptr, 0, cdb, 10, kDirOut), 0);
    EXPECT_EQ(manager_.executeSeen.SRB_BufLen, 0u);
    EXPECT_NE(manager_.executeSeen.SRB_BufPointer, nullptr);
}

TEST_F(AspiTransportTest, NoEventMeansNothingSentAndThePreviousOutcomeKept) {
    OpenCompleteManager();
    const uint8_t cdb[12] = {0x00};
    manager_.script.status = SS_ERR;
    manager_.script.targStat = 2;
    manager_.script.sense = {0x70, 0, 0x02, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x3A, 0x01};
    ASSERT_EQ(AspiExecute(entry_, nullptr, 0, cdb, 6, kDirNone), 4);
    const SRB_ExecSCSICmd before = *CommandStatus;
    const size_t sends = manager_.commands.size();
    CommandStatusRecord other{};
    CommandStatus = &other;
    events_.failCreation = true;
    uint8_t data[4] = {1, 2, 3, 4};

    EXPECT_EQ(AspiExecute(entry_, data, sizeof data, cdb, 10, kDirOut), -1);
    EXPECT_EQ(manager_.commands.size(), sends);
    EXPECT_NE(CommandStatus, &other) << "the record in use is named before anything can fail";
    EXPECT_EQ(std::memcmp(CommandStatus, &before, sizeof before), 0);
}

// Run in a child process whose address space is too small for the copy.
TEST_F(AspiTransportTest, NoMemoryForTheCopyMeansNothingSent) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers reserve more address space than the limit allows";
#else
    OpenCompleteManager();
    const uint8_t cdb[12] = {0x3B, 0x04};
    uint8_t data[16] = {7, 7, 7};
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto child = [&] {
        const rlimit limit{512u << 20, 512u << 20};
        setrlimit(RLIMIT_AS, &limit);
        const SRB_ExecSCSICmd before = *CommandStatus;
        const ScsiResult result = AspiExecute(entry_, data, 0xF0000000u, cdb, 10, kDirOut);
        const bool sent = !manager_.commands.empty();
        const bool unchanged = std::memcmp(CommandStatus, &before, sizeof before) == 0;
        std::fprintf(stderr, "result %d sent %d unchanged %d\n", result, sent, unchanged);
        std::_Exit(result == -2 && !sent && unchanged && data[0] == 7 ? 0 : 1);
    };
    EXPECT_EXIT(child(), testing::ExitedWithCode(0), "result -2 sent 0 unchanged 1");
#endif
}

TEST_F(AspiTransportTest, RequestThatNeverCompletesIsGivenUpAndReadsAsAborted) {
    OpenCompleteManager();
    // The wait runs out at once, as it would after the limit; no test waits that long.
    events_.timeOutWaits = true;
    const uint8_t cdb[12] = {0x3B, 0x05};
    uint8_t data[8] = {};
    for (const bool honourAbort : {true, false}) {
        manager_.script = {};
        manager_.script.pend = true;
        manager_.script.neverComplete = true;
        manager_.script.honourAbort = honourAbort;
        manager_.abortSeen = {};

        EXPECT_EQ(AspiExecute(entry_, data, sizeof data, cdb, 10, kDirOut), 1);
        EXPECT_EQ(manager_.abortSeen.SRB_Cmd, SC_ABORT_SRB);
        EXPECT_EQ(manager_.abortSeen.SRB_ToAbort, manager_.pending);
        EXPECT_EQ(CommandStatus->SRB_Status, SS_ABORTED);
        std::string text;
        DescribeFailure(1, text);
        EXPECT_EQ(text, "SRB aborted.")
            << (honourAbort ? "manager aborts" : "manager cannot abort");
    }
    EXPECT_EQ(events_.waitTimeouts, (std::vector<uint32_t>{kAspiWaitLimitMs, kAspiWaitLimitMs}));
}

TEST_F(AspiTransportTest, WithoutAManagerNothingIsSentAndTheCommandFails) {
    const uint8_t cdb[12] = {0x00};
    EXPECT_EQ(AspiExecute(entry_, nullptr, 0, cdb, 6, kDirNone), 1);
    EXPECT_EQ(CommandStatus->SRB_Status, SS_NO_ASPI);
    SRB_HAInquiry* answer = nullptr;
    EXPECT_EQ(AspiHostAdapterInquiry(0, &answer), 1);
    EXPECT_TRUE(manager_.commands.empty());
}

}  // namespace
