// The back end "vxi11": the router's operations filled from calls.h.
#include "../router/guarded.h"
#include "calls.h"

namespace vexon {

namespace vx = vxi11;

Backend Vxi11Backend() {
  Backend b;
  b.name = "vxi11";
  b.readBoard = &vx::ReadBoardEntry;  // throws BusFileError, as the loader expects
  b.describeBoard = &vx::DescribeBoard;
  b.takesLinks = true;
  b.openBoard = &Guarded<&vx::OpenBoard>::Call;
  b.closeBoard = &Guarded<&vx::CloseBoard>::Call;
  b.openDevice = &Guarded<&vx::OpenDevice>::Call;
  b.openLink = &Guarded<&vx::OpenLink>::Call;
  b.ibonl = &Guarded<&vx::Online>::Call;
  b.configure = &Guarded<&vx::Configure>::Call;
  b.ibcmda = &Guarded<&vx::ibcmd>::Call;  // done when it returns
  b.boardAddress = &Guarded<&vx::BoardAddress>::Call;
#define VEXON_VXI11_OPERATION(name) b.name = &Guarded<&vx::name>::Call;
  VEXON_VXI11_OPERATION(ibwrt)
  VEXON_VXI11_OPERATION(ibrd)
  VEXON_VXI11_OPERATION(ibclr)
  VEXON_VXI11_OPERATION(ibtrg)
  VEXON_VXI11_OPERATION(ibloc)
  VEXON_VXI11_OPERATION(ibrsp)
  VEXON_VXI11_OPERATION(iblck)
  VEXON_VXI11_OPERATION(ibstop)
  VEXON_VXI11_OPERATION(ibcmd)
  VEXON_VXI11_OPERATION(ibgts)
  VEXON_VXI11_OPERATION(ibcac)
  VEXON_VXI11_OPERATION(ibsic)
  VEXON_VXI11_OPERATION(iblines)
  VEXON_VXI11_OPERATION(ibwait)
  VEXON_VXI11_OPERATION(ibnotify)
  VEXON_VXI11_OPERATION(Send)
  VEXON_VXI11_OPERATION(SendList)
  VEXON_VXI11_OPERATION(Receive)
  VEXON_VXI11_OPERATION(SendDataBytes)
  VEXON_VXI11_OPERATION(RcvRespMsg)
  VEXON_VXI11_OPERATION(SendCmds)
  VEXON_VXI11_OPERATION(DevClear)
  VEXON_VXI11_OPERATION(Trigger)
  VEXON_VXI11_OPERATION(EnableLocal)
  VEXON_VXI11_OPERATION(EnableRemote)
  VEXON_VXI11_OPERATION(SendLLO)
  VEXON_VXI11_OPERATION(SendIFC)
  VEXON_VXI11_OPERATION(PassControl)
  VEXON_VXI11_OPERATION(ReadStatusByte)
  VEXON_VXI11_OPERATION(TestSRQ)
  VEXON_VXI11_OPERATION(WaitSRQ)
#undef VEXON_VXI11_OPERATION
  return b;
}

}  // namespace vexon
