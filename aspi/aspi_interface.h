// The ASPI for Win32 interface between the program and an ASPI manager: request codes,
// status values and request records with the field names and order that interface
// publishes. Pointers and handles have their natural size. The completion event of an
// execute request (SRB_PostProc) is an eventfd descriptor; the manager signals it by
// writing an 8-byte 1 to it.
#pragma once

#include <cstdint>

extern "C" {

// Request codes.
#define SC_HA_INQUIRY 0x00
#define SC_GET_DEV_TYPE 0x01
#define SC_EXEC_SCSI_CMD 0x02
#define SC_ABORT_SRB 0x03

// Request flags.
#define SRB_DIR_IN 0x08
#define SRB_DIR_OUT 0x10
#define SRB_EVENT_NOTIFY 0x40

// Request status (SRB_Status).
#define SS_PENDING 0x00
#define SS_COMP 0x01
#define SS_ABORTED 0x02
#define SS_ABORT_FAIL 0x03
#define SS_ERR 0x04
#define SS_INVALID_CMD 0x80
#define SS_INVALID_HA 0x81
#define SS_NO_DEVICE 0x82
#define SS_INVALID_SRB 0xE0
#define SS_BUFFER_ALIGN 0xE1
#define SS_ILLEGAL_MODE 0xE2
#define SS_SECURITY_VIOLATION 0xE2  // the later name of the same code
#define SS_NO_ASPI 0xE3
#define SS_FAILED_INIT 0xE4
#define SS_ASPI_IS_BUSY 0xE5
#define SS_BUFFER_TO_BIG 0xE6
#define SS_NO_ADAPTERS 0xE8

// Host adapter status (SRB_HaStat).
#define HASTAT_OK 0x00
#define HASTAT_TIMEOUT 0x09
#define HASTAT_COMMAND_TIMEOUT 0x0B
#define HASTAT_MESSAGE_REJECT 0x0D
#define HASTAT_BUS_RESET 0x0E
#define HASTAT_PARITY_ERROR 0x0F
#define HASTAT_REQUEST_SENSE_FAILED 0x10
#define HASTAT_SEL_TO 0x11
#define HASTAT_DO_DU 0x12
#define HASTAT_BUS_FREE 0x13
#define HASTAT_PHASE_ERR 0x14

#define SENSE_LEN 14

#pragma pack(push, 1)

struct SRB_HAInquiry {
    uint8_t SRB_Cmd;
    uint8_t SRB_Status;
    uint8_t SRB_HaId;
    uint8_t SRB_Flags;
    uint32_t SRB_Hdr_Rsvd;
    uint8_t HA_Count;
    uint8_t HA_SCSI_ID;
    uint8_t HA_ManagerId[16];
    uint8_t HA_Identifier[16];
    uint8_t HA_Unique[16];
    uint16_t HA_Rsvd1;
};

struct SRB_GDEVBlock {
    uint8_t SRB_Cmd;
    uint8_t SRB_Status;
    uint8_t SRB_HaId;
    uint8_t SRB_Flags;
    uint32_t SRB_Hdr_Rsvd;
    uint8_t SRB_Target;
    uint8_t SRB_Lun;
    uint8_t SRB_DeviceType;
    uint8_t SRB_Rsvd1;
};

struct SRB_ExecSCSICmd {
    uint8_t SRB_Cmd;
    uint8_t SRB_Status;
    uint8_t SRB_HaId;
    uint8_t SRB_Flags;
    uint32_t SRB_Hdr_Rsvd;
    uint8_t SRB_Target;
    uint8_t SRB_Lun;
    uint16_t SRB_Rsvd1;
    uint32_t SRB_BufLen;
    uint8_t* SRB_BufPointer;
    uint8_t SRB_SenseLen;
    uint8_t SRB_CDBLen;
    uint8_t SRB_HaStat;
    uint8_t SRB_TargStat;
    void* SRB_PostProc;
    uint8_t SRB_Rsvd2[20];
    uint8_t CDBByte[16];
    uint8_t SenseArea[SENSE_LEN + 2];
};

// Asks the manager to give up an execute request that is still pending. When the request
// is given up, its SRB_Status becomes SS_ABORTED and the manager no longer touches it, its
// data buffer or its event; this request then ends with SS_COMP. When the request has
// already completed (or is unknown), this request ends with SS_ABORT_FAIL.
struct SRB_Abort {
    uint8_t SRB_Cmd;
    uint8_t SRB_Status;
    uint8_t SRB_HaId;
    uint8_t SRB_Flags;
    uint32_t SRB_Hdr_Rsvd;
    void* SRB_ToAbort;
};

#pragma pack(pop)

// Entry points of the manager library.
typedef uint32_t (*GetASPI32SupportInfoFn)(void);
typedef uint32_t (*SendASPI32CommandFn)(void* srb);

}  // extern "C"
