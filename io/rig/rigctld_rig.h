#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "io/rig/rig_server.h"
#include "io/rig/rigctld_caps.h"
#include "io/rig/rigctld_reply.h"
#include "platform/tcp_line_socket.h"

namespace vestrel {

// Where one rig's control daemon listens.
struct RigctldEndpoint {
  std::string host = "localhost";
  uint16_t port = 4532;
};

struct RigctldTiming {
  std::chrono::milliseconds pollInterval{250};   // pause between two rounds of reads
  std::chrono::milliseconds replyTimeout{3000};  // a daemon silent this long is lost
  std::chrono::milliseconds connectTimeout{1000};
  std::chrono::milliseconds reconnectInterval{1000};  // between attempts while unreachable
};

// One rig behind a rigctld daemon (its TCP protocol, extended responses). A poller thread
// owns the connection: it reads the capabilities on connecting, then in rounds the rig's
// state into a cache, and sends queued writes in order before each round. Calls from the
// GUI thread only touch the cache and the queue under a mutex and never wait for the daemon.
// While the daemon cannot be reached (refused, or the connection lost) every call answers
// kServerError; the poller keeps trying to reconnect, with a fresh socket each time.
class RigctldRig final : public Rig, private PortBits {
 public:
  enum class Link { kConnecting, kOnline, kOffline };

  explicit RigctldRig(RigctldEndpoint endpoint, RigctldTiming timing = {});
  ~RigctldRig();
  RigctldRig(const RigctldRig&) = delete;
  RigctldRig& operator=(const RigctldRig&) = delete;

  Link LinkState();

  RigValue ReadableParams() override;
  RigValue WriteableParams() override;
  RigValue Mode() override;
  RigStatus SetMode(int64_t mode) override;
  RigValue Rit() override;
  RigStatus SetRit(int64_t rit) override;
  RigValue RitOffset() override;
  RigStatus SetRitOffset(int64_t hz) override;
  RigStatus ClearRit() override;
  RigValue Vfo() override;
  RigStatus SetVfo(int64_t vfo) override;
  RigValue Freq() override;
  RigStatus SetFreq(int64_t hz) override;
  RigValue FreqA() override;
  RigStatus SetFreqA(int64_t hz) override;
  RigValue FreqB() override;
  RigStatus SetFreqB(int64_t hz) override;
  RigValue Split() override;
  RigStatus SetSplit(int64_t split) override;
  RigValue Tx() override;
  RigStatus SetTx(int64_t tx) override;
  PortBits& GetPortBits() override { return *this; }
  std::optional<RigRefusal> TakeRefusal() override;
  bool KeyRefused() override;

 private:
  // The daemon cannot drive the control lines of the rig's own port.
  RigStatus SetRts(bool) override { return RigStatus::kNotSupported; }
  RigStatus SetDtr(bool) override { return RigStatus::kNotSupported; }

  enum class Param { kFreq, kFreqA, kFreqB, kMode, kRit, kRitOffset, kVfo, kSplit, kTx };
  struct Write {
    Param param;
    int64_t value;
  };
  // What the rig is known to be; nullopt until the daemon has told.
  struct State {
    std::optional<int64_t> freq, freqA, freqB, ritOffset;
    std::optional<char> vfo;  // receive VFO, 'A' or 'B'
    std::optional<bool> split, rit, tx;
    std::optional<uint32_t> mode;
  };
  using Reply = RigctldReply;

  static uint32_t ParamBits(Param param);

  // GUI side.
  RigValue ReadState(auto pick);
  RigStatus Queue(Param param, int64_t value);
  RigStatus Validate(Param param, int64_t value) const;
  void Foresee(const Write& w);  // the cache as the write will leave the rig

  // Poller side.
  void Run();
  bool OpenLink();
  bool ApplyWrites();
  bool ApplyWrite(const Write& w);
  // Sends one command of a write; false when the link failed. A refusal (an RPRT code other
  // than 0) is noted in *refused, the first of the write's commands winning.
  bool Send(const std::string& command, std::optional<std::string>* refused);
  // The write's outcome: a refusal queued unless one of its kind is already reported, or the
  // kind cleared for the next refusal.
  void NoteOutcome(const Write& w, const std::optional<std::string>& refused);
  bool PollOnce();
  void DropLink();
  // Sends one command and reads its reply; false when the link failed.
  bool Exchange(const std::string& command, Reply& reply);
  bool ReadReply(Reply& reply);
  // The command with this connection's VFO argument where the daemon wants one.
  std::string Cmd(const char* op, const std::string& args = {}, const char* vfo = "currVFO") const;
  bool CurrentVfo(char& letter);

  const RigctldEndpoint endpoint_;
  const RigctldTiming timing_;
  TcpLineSocket socket_;  // poller thread only

  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  Link link_ = Link::kConnecting;
  bool capsKnown_ = false;
  RigctldCaps caps_;  // written by the poller under the mutex before capsKnown_ is set
  RigVfoAccess access_;
  RigParamMasks masks_;
  State state_;
  std::deque<Write> writes_;
  std::deque<RigRefusal> refusals_;
  std::set<RigRefusal::Param> refusedKinds_;  // reported, and none of the kind through since
  bool keyRefused_ = false;
  uint64_t writeSeq_ = 0;  // counts writes queued, so a read round can tell it was overtaken

  std::thread poller_;
};

}  // namespace vestrel
