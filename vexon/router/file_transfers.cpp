// The loops of ibrdf and ibwrtf.
#include "file_transfers.h"

#include <vexon.h>

#include <algorithm>
#include <string>
#include <vector>

#include "backend.h"
#include "handle_record.h"
#include "router.h"
#include "status.h"
#include "user_files.h"

namespace vexon {

namespace {

// The file name as the library opens it. A build for fuzzing keeps every file
// the bus writes or reads among a few names in one scratch folder.
std::string FilePath(const char* name) {
#ifdef VOREL_SIM_FILE_ROOT
  unsigned h = 0;
  for (const char* p = name; *p; ++p) h = h * 31 + static_cast<unsigned char>(*p);
  return std::string(VOREL_SIM_FILE_ROOT) + "/file" + std::to_string(h % 8);
#else
  return name;
#endif
}

}  // namespace

int ReadIntoFile(const char* fileName, int base, bool stopAtEos, int eosChar, const ChunkRead& read) {
  OutputFile f(FilePath(fileName));
  if (!f.isOpen()) return Fail(base, EFSO);
  std::vector<uint8_t> chunk(65536);
  int total = 0, sta = 0;
  for (;;) {
    int want = std::min<int>(static_cast<int>(chunk.size()), kFileLimit - total);
    if (want == 0) {
      sta = Fail(base | TIMO, EABO, total);
      break;
    }
    int n = 0;
    sta = read(chunk.data(), want, n);
    if (n > 0 && !f.write(chunk.data(), static_cast<size_t>(n))) {
      sta = Fail(base, EFSO, total);
      break;
    }
    total += n;
    if (sta & (ERR | END)) {
      sta = Finish(sta, LastError(), total);
      break;
    }
    if (stopAtEos && n > 0 && chunk[n - 1] == eosChar) {
      sta = Finish(sta | END, 0, total);
      break;
    }
  }
  if (!f.close() && !(sta & ERR)) sta = Fail(base, EFSO, total);
  return sta;
}

int WriteFromFile(const char* fileName, int base, const WholeWrite& write) {
  std::string data;
  if (!ReadWholeFile(FilePath(fileName), kFileLimit, data)) return Fail(base, EFSO);
  return write(data.data(), static_cast<int>(data.size()));
}

namespace {

// The file calls on a back end's own transfers, each chunk one call of it.
int ReadFile(int ud, const char* fileName) {
  const Backend& b = *BackendOfHandle(ud);
  const int base = b.baseStatus(ud);
  if (!fileName) return Fail(base, EARG);
  return ReadIntoFile(fileName, base, OptionOf(ud, IbcEOSrd) != 0, OptionOf(ud, IbcEOSchar),
                      [&](void* buf, int count, int& got) {
                        const int sta = b.ibrd(ud, buf, count);
                        // A timeout or a stop counts the bytes that came; other
                        // failures may leave a system error code in ibcntl.
                        got = (sta & ERR) && LastError() != EABO ? 0 : LastCount();
                        return sta;
                      });
}

int WriteFile(int ud, const char* fileName) {
  const Backend& b = *BackendOfHandle(ud);
  const int base = b.baseStatus(ud);
  if (!fileName) return Fail(base, EARG);
  return WriteFromFile(fileName, base, [&](const void* buf, int count) { return b.ibwrt(ud, buf, count); });
}

}  // namespace

void BuildFileTransfers(const Backend& given, Backend& b) {
  if (!given.ibrdfA && given.ibrd) b.ibrdfA = &ReadFile;
  if (!given.ibwrtfA && given.ibwrt) b.ibwrtfA = &WriteFile;
}

}  // namespace vexon
