#include "app/program_stages.h"

#include "app/restart_computer.h"
#include "config/load_configuration.h"
#include "drive/discovery.h"
#include "scsi/aspi_transport.h"

uint8_t ProgramStages::LoadConfiguration(const std::string& profileName) {
    return ::LoadConfiguration(profileName);
}

int ProgramStages::AspiOpen() { return ::AspiOpen(); }

uint32_t ProgramStages::AspiAdapterCount() { return ::AspiAdapterCount(); }

uint32_t ProgramStages::DiscoverDrives() { return ::DiscoverDrives(); }

void ProgramStages::AspiClose() { ::AspiClose(); }

void ProgramStages::RestartComputer() { ::RestartComputer(); }
