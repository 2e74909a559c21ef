// The handle settings (ibask, ibconfig, ibeos), kept by the back end: the
// adapter hears of them only when a transfer needs them.
#pragma once
namespace vexon::prologix {

int AskOption(int ud, int option, int* value);
int ConfigureOption(int ud, int option, int value);
int SetEos(int ud, int v);

}  // namespace vexon::prologix
