// The back ends "prologix" and "ar488": one set of operations, the AR488's
// extra commands used only where the board says ar488.
#include "../router/guarded.h"
#include "calls.h"
#include "options.h"

namespace vexon {

namespace prologix {
void ReadBoardEntry(const YamlFile& file, const YAML::Node& node, BoardSettings& b);
std::string DescribeBoard(const BoardSettings& b);
}  // namespace prologix

namespace {

namespace px = prologix;

template <bool kAr488>
bool OpenBoard(const BoardSettings& s) {
  return px::OpenBoard(s, kAr488);
}

template <bool kAr488>
Backend AdapterBackend() {
  Backend b;
  b.name = kAr488 ? "ar488" : "prologix";
  b.readBoard = &px::ReadBoardEntry;  // throws BusFileError, as the loader expects
  b.describeBoard = &px::DescribeBoard;
  b.openBoard = &Guarded<&OpenBoard<kAr488>>::Call;
  b.closeBoard = &Guarded<&px::CloseBoard>::Call;
  b.configure = &Guarded<&px::Configure>::Call;
#define VEXON_ADAPTER_OPERATION(name) b.name = &Guarded<&px::name>::Call;
  VEXON_ADAPTER_OPERATION(ibwrt)
  VEXON_ADAPTER_OPERATION(ibrd)
  VEXON_ADAPTER_OPERATION(ibrsp)
  VEXON_ADAPTER_OPERATION(ibclr)
  VEXON_ADAPTER_OPERATION(ibtrg)
  VEXON_ADAPTER_OPERATION(ibloc)
  VEXON_ADAPTER_OPERATION(ibsic)
  VEXON_ADAPTER_OPERATION(ibwait)
  VEXON_ADAPTER_OPERATION(ibstop)
  VEXON_ADAPTER_OPERATION(Send)
  VEXON_ADAPTER_OPERATION(SendList)
  VEXON_ADAPTER_OPERATION(Receive)
  VEXON_ADAPTER_OPERATION(DevClear)
  VEXON_ADAPTER_OPERATION(Trigger)
  VEXON_ADAPTER_OPERATION(TriggerList)
  VEXON_ADAPTER_OPERATION(EnableLocal)
  VEXON_ADAPTER_OPERATION(SendLLO)
  VEXON_ADAPTER_OPERATION(SendIFC)
  VEXON_ADAPTER_OPERATION(ReadStatusByte)
  VEXON_ADAPTER_OPERATION(TestSRQ)
  VEXON_ADAPTER_OPERATION(WaitSRQ)
  if (kAr488) {  // what only the AR488's commands allow
    VEXON_ADAPTER_OPERATION(EnableRemote)
    VEXON_ADAPTER_OPERATION(FindLstn)
    VEXON_ADAPTER_OPERATION(PPoll)
    VEXON_ADAPTER_OPERATION(ibrpp)
  }
#undef VEXON_ADAPTER_OPERATION
  return b;
}

}  // namespace

Backend PrologixBackend() { return AdapterBackend<false>(); }
Backend Ar488Backend() { return AdapterBackend<true>(); }

}  // namespace vexon
