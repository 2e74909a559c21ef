// The hostile driver's mode: the status words every call reports and the ways
// its calls misbehave. One mode holds until the next one is set.
#pragma once
#include <optional>
#include <string>

namespace hostile {

enum class Notify {
  Later,   // a thread of the library calls the callback during the next driver call
  Now,     // ibnotify calls the callback itself, before it returns
  Unload,  // the callback comes while the library is unloaded at exit
};

struct Mode {
  std::optional<int> status;  // ibsta of every call; unset: what the call did
  std::optional<int> error;   // iberr; setting it alone also sets ERR
  std::optional<int> count;   // ibcntl; unset: the bytes or entries transferred
  std::optional<int> handle;  // what ibfind and ibdev return
  int word = 0;               // every result word: lines, listen, poll bytes, settings
  Notify notify = Notify::Later;
  bool asyncRead = false;     // ibrda's data arrives from a thread during later calls
  bool readWaits = false;     // ibrd waits until ibstop comes from another thread (at most 30 s)
};

// Reads a mode from "sane" or from words "key=value"; false when text is no
// mode. Keys: status, error, count, handle, word (numbers; huge and min stand
// for the largest and smallest int, all for every bit), notify=later|now|unload,
// rda=sync|thread, rd=now|wait.
bool ParseMode(const std::string& text, Mode& mode);

// The mode in force: VOREL_HOSTILE_MODE at the first call, then whatever an
// ibwrt of a mode text set. Only the calling thread reads or writes it.
Mode& CurrentMode();

}  // namespace hostile
