// The "++" protocol of Prologix and AR488 adapters: setting the adapter up,
// remembering what it was last told so that a setting goes out only when it
// changes, escaping data, reading a device's response to its end, and
// keeping the stream clean: what one command caused never reaches the
// answer to another.
#pragma once
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "../router/bus_config.h"
#include "reply_scan.h"
#include "transport.h"

namespace vexon::prologix {

// How a step went: done; no answer within the call's time (the stream is
// fine); the stream failed (errno); the call was stopped (ibstop); the
// adapter refused with a line of its own (refusal() says which).
enum class Outcome { Done, NoAnswer, Broken, Stopped, Refused };

// What a read is to stop at, besides the end of the device's message.
struct ReadRequest {
  int count = 0;
  bool stopAtEos = false;
  int eosChar = 0;
};

struct ReadResult {
  int count = 0;
  bool end = false;       // the last byte came with EOI, or was the EOS byte
  bool timedOut = false;  // the call's time ran out first
};

// What the adapter said about itself when it was opened.
struct AdapterKind {
  bool ar488 = false;
  // AR488 firmware 0.53 reads a number after "++read" as an address.
  bool readTakesNoEndByte = false;
};
// The kind an adapter's "++ver" answer shows; configuredAr488 for a board
// the bus file calls "ar488".
AdapterKind KindFromVersion(const std::string& version, bool configuredAr488);

class Adapter {
 public:
  using Clock = std::chrono::steady_clock;
  Adapter(const BoardSettings& settings, bool ar488) : settings_(settings), configuredAr488_(ar488) {}

  const BoardSettings& settings() const { return settings_; }
  // An AR488, as the bus file says or as its version answer shows.
  bool ar488() const { return configuredAr488_ || kind_.ar488; }
  // Where the adapter is: the serial device or host:port, for messages.
  std::string Where() const;
  // The adapter's own line that refused the last step.
  const std::string& refusal() const { return refusal_; }
  int refusalError() const { return refusalError_; }

  // Starts a call whose waits end timeoutMs from now (negative: no limit)
  // or when Stop is called.
  void Begin(int timeoutMs);
  // The call's time is up.
  bool Expired() const { return Clock::now() >= deadline_; }
  // Ends the waits of the call under way, from any thread (ibstop).
  void Stop() { transport_.Wake(); }
  // Forgets a Stop no call has seen: a new call starts.
  void ClearStop() { transport_.ClearWake(); }
  // What went wrong, for the system error e of the last failure.
  std::string Problem(int e) const { return transport_.Problem(e); }

  // Opens the transport and sets the adapter up, unless it is open already.
  // Broken with errno set when the port cannot be opened, ETIMEDOUT when
  // nothing answers there.
  Outcome Ready();
  // Closes the stream and forgets what the adapter was told, so the next
  // call opens and sets it up afresh.
  void Drop();

  // Sends a "++" command line (given without its line end) that has no answer.
  Outcome Command(const std::string& line);
  // Sends a command line that the adapter may refuse, and finds out whether
  // it did: Refused when a line of its own came back.
  Outcome Checked(const std::string& line);
  // Sends a command line and reads its one-line answer (line end removed),
  // waiting at most waitMs (and within the call's time).
  Outcome Ask(const std::string& line, std::string& answer, int waitMs);
  // Asks for a device's status byte with the read timeout set from the
  // call's time (at most the adapter's short one), asking again while the
  // call's time lasts.
  Outcome Poll(std::string& answer);
  // Waits ms, or until Stop.
  Outcome Pause(int ms);

  // Each sends its command only when the setting differs from the last one sent.
  Outcome Address(int pad, int sad);
  Outcome SetEoi(bool on);

  // Sends bytes to the addressed device as one escaped data line.
  Outcome WriteData(const void* buf, int count);
  // Reads from the addressed device: what an earlier read of the same
  // device left first, then a fresh "++read", asked again until the call's
  // time is up while the device says nothing.
  Outcome Read(uint8_t* buf, const ReadRequest& r, ReadResult& result);

  // The "++read_tmo_ms" value for a wait of budgetMs (negative: no limit):
  // never long, so that the adapter is soon free after a call stops listening.
  int ReadTimeoutFor(int budgetMs) const;

 private:
  enum class Take { Wanted, Mark, More };

  Outcome SetUp();
  // Cleans the stream (Settle), then sends.
  Outcome Send(const std::string& bytes);
  Outcome Transmit(const std::string& bytes);
  Outcome Setting(int& known, int value, const char* command);
  Outcome Settle();
  Outcome DiscardReply();
  // Sends "++read"; fresh for a new response, else the same one goes on.
  Outcome StartRead(const ReadRequest& r, int budgetMs, bool fresh);
  Outcome ReadReply(uint8_t* buf, const ReadRequest& r, ReadResult& result, bool askAgain);
  Take EosReached(ReadResult& result);
  Outcome CheckRefusal();
  Outcome ReadLine(std::string& line, Clock::time_point until);
  Take TakeBytes(uint8_t* buf, const ReadRequest& r, ReadResult& result);
  // Receives more of the stream into the input buffer, waiting until
  // `until` at most (and within the call's time): 1 bytes came, 0 none.
  int ReceiveMore(Clock::time_point until, Outcome& failed);
  void FinishReply();
  Clock::time_point Until(int ms) const;
  Outcome Refuse(const std::string& line, int error);

  BoardSettings settings_;
  bool configuredAr488_;
  AdapterKind kind_;
  std::string version_;  // the adapter's answer to "++ver"
  Transport transport_;
  // What the adapter was last told; -1 when not known.
  int pad_ = -1, sad_ = -1, eoi_ = -1, eotChar_ = -1, readTmo_ = -1;
  // The byte the adapter appends when a read ends on EOI.
  int mark_ = 0xFF;

  // The call under way: its time and its deadline.
  int callMs_ = -1;
  Clock::time_point deadline_ = Clock::time_point::max();

  // Bytes received and not yet handed out.
  std::vector<char> in_ = std::vector<char>(1 << 16);
  size_t inAt_ = 0, inEnd_ = 0;
  // A "++read" whose reply is not all taken: of which device, how far.
  bool reading_ = false;
  int readingKey_ = -1;
  bool readingToEoi_ = true;  // "++read eoi": the adapter goes on past an EOS byte
  ReplyScan scan_;
  bool seen_[256] = {};
  size_t replyTaken_ = 0;  // bytes of the reply handed out so far
  Clock::time_point lastHeard_;  // the last byte, or when the "++read" went out
  // The adapter may still send until then (its own timeout running).
  Clock::time_point busyUntil_;
  // What it may still send: the answer lines of questions that timed out
  // here, and whether anything else (a read's tail, a check) may follow. With
  // only answer lines due, the wait ends when the last of them came.
  int linesDue_ = 0;
  bool moreDue_ = false;
  // A read stopped at the EOS byte, which may have come with EOI: a mark may follow.
  bool markMayFollow_ = false;

  std::string refusal_;
  int refusalError_ = 0;
};

// The data line for bytes: CR, LF, ESC and '+' each preceded by ESC, then LF.
std::string EscapeData(const void* buf, int count);

}  // namespace vexon::prologix
