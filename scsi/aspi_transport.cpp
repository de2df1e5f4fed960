// The ASPI transport: loading the ASPI manager and the two queries drive discovery uses.
#include "scsi/aspi_transport.h"

#include <string>
#include <vector>

#include "platform/platform.h"
#include "scsi/aspi_library.h"

namespace {

SRB_HAInquiry hostAdapterInquiry;
SRB_GDEVBlock deviceTypeRequest;

// The manager is built into the folder of the program, so the copy beside the running
// executable is the one that belongs to it; an installed copy elsewhere is found through
// the normal library search.
std::vector<std::string> LibraryCandidates() {
    std::vector<std::string> candidates;
    const std::string executable = platform::Platform().System->ExecutablePath();
    const size_t slash = executable.rfind('/');
    if (slash != std::string::npos)
        candidates.push_back(executable.substr(0, slash + 1) + kAspiLibraryName);
    candidates.push_back(kAspiLibraryName);
    return candidates;
}

}  // namespace

int AspiOpen() {
    if (TheAspiLibrary.Module != nullptr) return 1;
    platform::LibraryLoader& loader = *platform::Platform().Libraries;
    for (const std::string& candidate : LibraryCandidates()) {
        void* module = loader.Load(candidate);
        if (module == nullptr) continue;
        auto send =
            reinterpret_cast<SendASPI32CommandFn>(loader.Symbol(module, "SendASPI32Command"));
        auto support =
            reinterpret_cast<GetASPI32SupportInfoFn>(loader.Symbol(module, "GetASPI32SupportInfo"));
        // A library without both entry points is no ASPI manager: it counts as one that
        // cannot be loaded, rather than failing on the first request.
        if (send == nullptr || support == nullptr) {
            loader.Free(module);
            continue;
        }
        TheAspiLibrary = {module, support, send};
        return 1;
    }
    return 0;
}

void AspiClose() {
    if (TheAspiLibrary.Module != nullptr)
        platform::Platform().Libraries->Free(TheAspiLibrary.Module);
    TheAspiLibrary = {};
}

uint32_t AspiAdapterCount() {
    if (TheAspiLibrary.GetSupportInfo == nullptr) return 0;
    const uint32_t support = TheAspiLibrary.GetSupportInfo();
    if (((support >> 8) & 0xFF) != SS_COMP) return 0;
    return (support & 0xFF) + 1;
}

int AspiHostAdapterInquiry(uint8_t adapter, SRB_HAInquiry** answer) {
    *answer = &hostAdapterInquiry;
    hostAdapterInquiry.SRB_Cmd = SC_HA_INQUIRY;
    hostAdapterInquiry.SRB_HaId = adapter;
    hostAdapterInquiry.SRB_Flags = 0;
    hostAdapterInquiry.SRB_Hdr_Rsvd = 0;
    if (TheAspiLibrary.SendCommand == nullptr) {
        hostAdapterInquiry.SRB_Status = SS_NO_ASPI;
        return 1;
    }
    TheAspiLibrary.SendCommand(&hostAdapterInquiry);
    return hostAdapterInquiry.SRB_Status == SS_COMP ? 0 : 1;
}

int AspiGetDeviceType(const DriveEntry& entry, uint8_t* deviceType) {
    deviceTypeRequest.SRB_Cmd = SC_GET_DEV_TYPE;
    deviceTypeRequest.SRB_HaId = entry.HaId;
    deviceTypeRequest.SRB_Flags = 0;
    deviceTypeRequest.SRB_Hdr_Rsvd = 0;
    deviceTypeRequest.SRB_Target = entry.Target;
    deviceTypeRequest.SRB_Lun = entry.Lun;
    if (TheAspiLibrary.SendCommand == nullptr)
        deviceTypeRequest.SRB_Status = SS_NO_ASPI;
    else
        TheAspiLibrary.SendCommand(&deviceTypeRequest);
    *deviceType = deviceTypeRequest.SRB_DeviceType;
    return deviceTypeRequest.SRB_Status == SS_COMP ? 0 : 1;
}
