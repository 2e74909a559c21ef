// The status words of the last call: ibsta, iberr and ibcntl, shared by every
// thread as the classic API has them, and each thread's own. Back ends leave
// them here; the router hands them out through Ibsta(), Iberr(), Ibcnt() (or
// the legacy variables) and ThreadIbsta(), ThreadIberr(), ThreadIbcnt(),
// ThreadIbcntl().
#pragma once
#include <string>

namespace vexon {

// Sets ibsta, iberr (only when sta has ERR) and ibcntl; returns sta.
int Finish(int sta, int err, int cnt);
// Finish(base | ERR, err, cnt).
int Fail(int base, int err, int cnt = 0);
// Sets ibsta and ibcntl 0 with iberr carrying a value (ERR clear).
int FinishWithValue(int sta, int value);

// The calling thread's words, as its last call left them.
int LastStatus();
int LastError();
int LastCount();
// ibcntl of the last call of any thread, as Ibcnt() gives it.
int ProcessCount();
// Writes one line "vexon: TEXT" on stderr. The program's own standard
// output is flushed first, so that the line shows where it happened when
// both go to the same place.
void ReportProblem(const std::string& text);

// Back to zeros, for a test or fuzzer that starts over.
void ResetStatus();

}  // namespace vexon
