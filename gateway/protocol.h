// The VXI-11 numbers the gateway answers with: error codes, flags and read
// reasons; the structures themselves come from rpcgen's vxi11.h.
#pragma once

namespace gateway {

// Device_ErrorCode values.
constexpr long kNoError = 0;
constexpr long kSyntaxError = 1;
constexpr long kNotAccessible = 3;
constexpr long kInvalidLink = 4;
constexpr long kParameterError = 5;
constexpr long kChannelNotEstablished = 6;
constexpr long kNotSupported = 8;
constexpr long kOutOfResources = 9;
constexpr long kLockedByAnother = 11;
constexpr long kNoLockHeld = 12;
constexpr long kIoTimeout = 15;
constexpr long kIoError = 17;
constexpr long kInvalidAddress = 21;
constexpr long kAbort = 23;
constexpr long kChannelAlreadyEstablished = 29;

// Device_Flags bits.
constexpr long kWaitLock = 0x01;
constexpr long kEndFlag = 0x08;
constexpr long kTermCharSet = 0x80;

// Device_ReadResp reasons, ORed.
constexpr long kReasonRequestCount = 0x01;
constexpr long kReasonTermChar = 0x02;
constexpr long kReasonEnd = 0x04;

// device_docmd commands of a GPIB interface link.
constexpr long kCmdSendCommand = 0x020000;
constexpr long kCmdBusStatus = 0x020001;
constexpr long kCmdAtnControl = 0x020002;
constexpr long kCmdRenControl = 0x020003;
constexpr long kCmdPassControl = 0x020004;
constexpr long kCmdBusAddress = 0x02000A;
constexpr long kCmdIfcControl = 0x020010;

}  // namespace gateway
