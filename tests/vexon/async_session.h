// The calls the router builds from a back end's simpler ones, as a program
// makes them on one board: ibwrta and ibrda with ibwait, ibnotify, ibstop
// ending a read nobody answers, and the 488.2 routines made of polls, clears,
// sends and receives. Each outcome as text, so that a test compares a back
// end's with the simulated bus's.
#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "vexon/router/driver_api.h"

namespace async_session {

// The transfer bits of ibsta, iberr with ERR, ibcntl and the bytes read.
inline std::string Outcome(const std::string& what, int sta, int err, int cnt, const char* data = nullptr) {
  std::string s = what + ": sta " + std::to_string(sta & (ERR | TIMO | END | CMPL));
  if (sta & ERR) s += " err " + std::to_string(err);
  s += " cnt " + std::to_string(cnt);
  if (data && !(sta & ERR)) s += " " + std::string(data, static_cast<size_t>(cnt));
  return s;
}
inline std::string Last(const std::string& what, const char* data = nullptr) {
  return Outcome(what, Ibsta(), Iberr(), Ibcnt(), data);
}

// What a notification's function was called with, once.
struct Heard {
  std::atomic<bool> called{false};
  int sta = 0, err = 0, cnt = 0;
};

inline int Record(int, int sta, int err, int cnt, void* ref) {
  auto* h = static_cast<Heard*>(ref);
  h->sta = sta;
  h->err = err;
  h->cnt = cnt;
  h->called = true;
  return 0;
}

inline std::string Notified(const std::string& what, const Heard& h) {
  for (int i = 0; i < 1000 && !h.called; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return h.called ? Outcome(what, h.sta, h.err, h.cnt) : what + ": never called";
}

// stops: whether a read of nothing waits on this board long enough for
// ibstop to end it (not so through the gateway, whose read may end first).
inline std::vector<std::string> Session(int board, bool stops = true) {
  std::vector<std::string> out;
  char buf[100] = {};
  const int dmm = ibdev(board, 1, 0, 12 /* 3 s */, 1, 0), loop = ibdev(board, 2, 0, 12, 1, 0);
  ibwrta(dmm, "*IDN?\n", 6);
  out.push_back(Last("ibwrta"));
  ibwait(dmm, CMPL | TIMO);
  out.push_back(Last("written"));
  ibrda(dmm, buf, sizeof buf);
  out.push_back(Last("ibrda"));
  ibwait(dmm, CMPL | TIMO);
  out.push_back(Last("read", buf));

  // The write is done when the function hears of it; the read after it too.
  ibwrta(loop, "ping", 4);
  Heard written, read;
  out.push_back("ibnotify " + std::to_string(ibnotify(loop, CMPL, &Record, &written) & ERR));
  out.push_back(Notified("notified of the write", written));
  ibrda(loop, buf, sizeof buf);
  ibnotify(loop, CMPL, &Record, &read);
  const std::string heard = Notified("notified of the read", read);
  out.push_back(heard + " " + std::string(buf, 4));
  ibnotify(loop, 0, nullptr, nullptr);

  // Nothing to say: ibstop ends the read long before its timeout.
  if (stops) {
    ibrda(dmm, buf, sizeof buf);
    ibstop(dmm);
    out.push_back(Last("stopped"));
    ibwait(dmm, CMPL);
    out.push_back(Last("after the stop"));
  }
  ibrda(dmm, nullptr, 10);
  out.push_back(Last("no buffer"));

  const uint16_t both[] = {1, 5, NOADDR};
  short results[2] = {-1, -1}, result = -1;
  AllSpoll(board, both, results);
  out.push_back(Last("AllSpoll") + " " + std::to_string(results[0]) + " " + std::to_string(results[1]));
  FindRQS(board, both, &result);
  out.push_back(Last("FindRQS") + " " + std::to_string(result & 0x40));
  DevClearList(board, both);
  out.push_back(Last("DevClearList"));
  TriggerList(board, both);
  out.push_back(Last("TriggerList"));
  TestSys(board, both, results);
  out.push_back(Last("TestSys") + " " + std::to_string(results[0]) + " " + std::to_string(results[1]));
  ResetSys(board, both);
  out.push_back(Last("ResetSys"));

  // A reset, then a close, ends a notification still waiting (nothing sets
  // END here): its function hears of each once.
  Heard reset, closed;
  ibnotify(loop, END, &Record, &reset);
  ibonl(loop, 1);
  out.push_back(Notified("reset", reset));
  ibnotify(loop, END, &Record, &closed);
  ibonl(loop, 0);
  out.push_back(Notified("closed", closed));
  ibonl(dmm, 0);
  return out;
}

}  // namespace async_session
