// The core channel's procedures, on the library: one function per procedure,
// taking the decoded arguments and filling the reply.
#pragma once

#include <memory>

#include "connection.h"
#include "vxi11.h"

namespace gateway {

void CreateLink(const std::shared_ptr<Connection>& c, const Create_LinkParms& p, Create_LinkResp* r);
void DeviceWrite(const std::shared_ptr<Connection>& c, const Device_WriteParms& p, Device_WriteResp* r);
void DeviceRead(const std::shared_ptr<Connection>& c, const Device_ReadParms& p, Device_ReadResp* r);
void DeviceReadStb(const std::shared_ptr<Connection>& c, const Device_GenericParms& p, Device_ReadStbResp* r);
void DeviceTrigger(const std::shared_ptr<Connection>& c, const Device_GenericParms& p, Device_Error* r);
void DeviceClear(const std::shared_ptr<Connection>& c, const Device_GenericParms& p, Device_Error* r);
void DeviceRemote(const std::shared_ptr<Connection>& c, const Device_GenericParms& p, Device_Error* r);
void DeviceLocal(const std::shared_ptr<Connection>& c, const Device_GenericParms& p, Device_Error* r);
void DeviceLock(const std::shared_ptr<Connection>& c, const Device_LockParms& p, Device_Error* r);
void DeviceUnlock(const std::shared_ptr<Connection>& c, const Device_Link& lid, Device_Error* r);
void DestroyLink(const std::shared_ptr<Connection>& c, const Device_Link& lid, Device_Error* r);
void DeviceDocmd(const std::shared_ptr<Connection>& c, const Device_DocmdParms& p, Device_DocmdResp* r);
void DeviceEnableSrq(const std::shared_ptr<Connection>& c, const Device_EnableSrqParms& p, Device_Error* r);
void CreateIntrChan(const std::shared_ptr<Connection>& c, const Device_RemoteFunc& p, Device_Error* r);
void DestroyIntrChan(const std::shared_ptr<Connection>& c, const char& unused, Device_Error* r);
// The abort channel's one procedure.
void DeviceAbort(const std::shared_ptr<Connection>& c, const Device_Link& lid, Device_Error* r);

}  // namespace gateway
