// ibrdf and ibwrtf for every back end: the file opened as user_files.h
// opens it, and the data moved with the back end's own read and write. A
// back end without them of its own gets them built on its ibrd and ibwrt.
#pragma once
#include <functional>

namespace vexon {

// ibrdf reads until END (or the EOS byte with stopAtEos); a talker that never
// ends is cut off at this size as a timeout. ibwrtf sends files up to this
// size; a longer one (or one that never ends, as /dev/zero) fails with EFSO.
#ifdef VOREL_SIM_FILE_ROOT
// The fuzzing build copies files in nested loops; a smaller cap keeps each
// input quick without changing what the code does.
constexpr int kFileLimit = 1 << 20;
#else
constexpr int kFileLimit = 16 << 20;
#endif

// One read of at most `count` bytes into buf: returns ibsta and sets `got`
// to the bytes it delivered.
using ChunkRead = std::function<int(void* buf, int count, int& got)>;
// One write of all `count` bytes; returns ibsta.
using WholeWrite = std::function<int(const void* buf, int count)>;

// Reads into the file with read() until the message ends. base is the
// handle's status for a failure of the file. Returns ibsta.
int ReadIntoFile(const char* fileName, int base, bool stopAtEos, int eosChar, const ChunkRead& read);
// Sends the whole file with write(). Returns ibsta.
int WriteFromFile(const char* fileName, int base, const WholeWrite& write);

struct Backend;
// Fills b's ibrdfA and ibwrtfA from its ibrd and ibwrt where given has none.
void BuildFileTransfers(const Backend& given, Backend& b);

}  // namespace vexon
