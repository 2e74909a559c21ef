// The boards of the simulated bus: opened by the router with the settings of
// the bus file, each with the instruments placed on it.
#include "calls.h"
#include "described/instance.h"

namespace vorel::sim {

void placeBoard(const vexon::BoardSettings& settings) {
  Bus& b = bus();
  Board& board = b.boards[settings.index];
  if (board.present) return;
  board.present = true;
  board.pad = settings.pad;
  board.sc = board.cic = settings.systemController;
  // Devices stay on the bus until it is reset; a board opened again finds them.
  if (boardHasDevices(settings.index)) return;
  for (const vexon::InstrumentPlacement& p : settings.instruments) {
    const bool isDescribed = p.definition.model.empty();
    const Instrument* model = isDescribed ? &describedInstrument : findModel(p.definition.model);
    if (!model) continue;  // the loader places only instruments the simulator has
    DeviceState state;
    if (isDescribed) {
      state.described = std::make_shared<described::Instance>();
      state.described->definition = std::make_shared<const described::Definition>(p.definition.described);
      state.described->name = p.definition.name;
    }
    b.devices.push_back({p.definition.name, settings.index, p.pad, p.sad, model, std::move(state)});
    model->powerOn(b.devices.back().state);
  }
}

bool openBoard(const vexon::BoardSettings& settings) {
  Call call;
  placeBoard(settings);
  bus().boards[settings.index].opened = true;
  return true;
}

// The router closes its boards only to start over: once none is open, the
// whole bus goes back to power-on.
void closeBoard(int board) {
  bool last = true;
  {
    std::lock_guard l(busMutex());
    Bus& b = bus();
    b.boards[board].opened = false;
    for (const Board& other : b.boards) last = last && !other.opened;
  }
  if (last) resetSimulation();
}

}  // namespace vorel::sim
