#pragma once
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engine/modem_params.h"
#include "engine/rx_block_processor.h"
#include "engine/sample_rates.h"
#include "io/keying_port_settings.h"
#include "io/message_box.h"
#include "io/rig/rig_control_settings.h"
#include "io/rig/rig_server.h"

namespace vestrel {

// What rig control needs of the main window. The window implements it; tests fake it.
class RigWindow {
 public:
  // Status-bar panel 8 ("tune by").
  virtual void SetTuneByPanel(std::string_view text) = 0;
  // The "TxAFC" button: enabled; or raised, disabled and TX AFC turned off.
  virtual void SetTxAfcButtonEnabled(bool enabled) = 0;
  // Waits on the GUI thread, processing messages meanwhile (loops of 10 ms sleeps).
  virtual void Wait(std::chrono::milliseconds time) = 0;
  // The receive tones moved by FrequencyUnit steps, as the tuning keys move them.
  virtual void ShiftRxFrequency(int units) = 0;
  // The mark that the rig is not keyed although the program transmits (its daemon refused
  // the keying), shown or taken away.
  virtual void SetNotKeyedMark(bool shown) = 0;

 protected:
  ~RigWindow() = default;
};

// The peak-held spectrum over bins 55..743 shifted in place so that bin i takes the old bin
// i + n; bins whose source lies outside 55..743 become 0.
void ShiftSpectrumPeaks(std::array<float, SpectrumArrays::kSize>& peaks, int n);

// The rig-control client: tunes the rig by RIT or VFO instead of the audio tones, keeps a split
// transmit VFO at the receive frequency plus VFOBoffset, and keys the rig for PTT types 4
// ("OmniRig / COM-port pins") and 5 ("OmniRig / CAT"). One server object serves tuning and
// keying and is kept for the run; a failure only marks the rig as not connected, and the next
// open takes the rig again from the same object. GUI thread only.
class TOmniWork {
 public:
  // Results of QsyToSignal, ShiftFrequency and SetSplitTxFrequency.
  enum Result : int {
    kDone = 0,
    kOff = 1,           // QSY kind 0; split following off
    kNotConnected = 2,  // also after a failed server call
    kModeUnknown = 3,   // QSY: Mode still unknown; split: already running
    kRitUnknown = 4,    // QSY: Rit unknown; split: VFO B receives
    kBadKind = 5,
    kVfoUnknown = 10,
    kFreqUnknown = 11,  // a frequency still reads 0 (not known yet) after 3 tries: nothing written
    kBusy = 12,         // called again from a wait of a call under way
    kUnsupported = 20,  // the rig's parameters offer no way to do it
  };
  static constexpr int kSplitRunning = 3;  // SetSplitTxFrequency's "already running"
  static constexpr int kSplitVfoB = 4;     // SetSplitTxFrequency's "VFO B receives"

  static constexpr const char* kErrorCaption = "OmniRig Error";
  static constexpr const char* kStartFailed = "Problem with OmniRig starting!";
  static constexpr const char* kNoAnswer = "RIG doesn't answer!";
  static constexpr const char* kNoRit = "This RIG does not support software RIT control!";
  static constexpr const char* kNoCommandSet = "The RIG command set is not supported! Ask developer ...";
  static constexpr const char* kNoBtoA = "The RIG command set is not supported for BtoA! Ask developer ...";
  static constexpr const char* kNoPortLines =
      "rigctld cannot drive the lines of the rig's own port, so PTT type \"OmniRig / COM-port pins\" "
      "does not key the rig. Choose \"OmniRig / CAT\" and start rigctld with its own PTT line "
      "(for example -p /dev/ttyUSB0 -P RTS).";

  // Makes the server object; whoever makes it keeps it for the run.
  using ServerFactory = std::function<RigServer&()>;

  struct Links {
    RigWindow* window = nullptr;
    MessageBoxSink* boxes = nullptr;
    ServerFactory makeServer;  // called once, at the first need
  };

  // Waits of the server reads: Mode at the start (5 more reads, 300 ms apart), and every
  // other state read (3 tries, 200 ms apart).
  std::chrono::milliseconds startModeGap{300};
  int startModeRetries = 5;
  std::chrono::milliseconds readGap{200};
  int readTries = 3;

  TOmniWork(RigControlSettings& settings, const KeyingPortSettings& ports, TModemParams& params,
            const TSampleRates& rates, TRxBlockProcessor& blocks, Links links);
  TOmniWork(const TOmniWork&) = delete;
  TOmniWork& operator=(const TOmniWork&) = delete;

  // The tuning rig (RigNumber) taken and its masks and Mode read: 3 on success, else 0.
  int OpenTuneRig();
  // The PTT rig for types 4 and 5 (from OpenPttPort).
  void OpenPttRig();
  // 2 while the PTT rig is not connected, else 0. An unkey that does not reach the rig is sent
  // again by EverySecond until it does.
  int SetPtt(bool on);
  // 1 while not connected, else the tuning rig's Mode.
  int64_t GetMode();
  // WriteableParams AND mask while connected, else 0.
  uint32_t CanWriteParam(uint32_t mask);
  // 1 when the server cannot be reached or has no dialog, else 0 (the dialog shown).
  int ShowSetupDialog();
  // Tunes the rig so that the received signal comes to the transmit tones (click-to-tune):
  // kind = TuneRig.
  int QsyToSignal(int kind);
  // Moves the rig by hz (mouse wheel); the receive tones stay.
  int ShiftFrequency(int kind, int hz);
  // arg 0: the periodic check; 1: at transmit switching; 2: at StartRigControl; 3 or more: a
  // receive frequency just set.
  int SetSplitTxFrequency(int64_t arg);
  // Rig tuning started anew from the settings; a rig that cannot be reached or lacks what they
  // need switches them off, with a message.
  void StartRigControl();
  // A wheel delta (120 a notch) while UseWheel is on.
  void MouseWheel(int delta);
  // Click-to-tune with rig tuning on: QsyToSignal (TuneRig). True when the receive tones
  // moved; a rig without the commands for it switches rig tuning off, with the message.
  bool TuneToSignal();
  // Once a second while receiving: an unkey still owed, then the split check (arg 0).
  void EverySecond();
  // Every tick of the main timer: each refusal of a rig in use shown (once for each kind of
  // write until one of its kind goes through), and the not-keyed mark kept while a keying by
  // CAT that the rig refused lasts.
  void ReportRefusals();
  // The message for a refusal: what was refused and the daemon's answer.
  static std::string RefusalText(const RigRefusal& refusal);

  int TuneState() const { return tuneState_; }
  int PttState() const { return pttState_; }
  bool UnkeyOwed() const { return unkeyOwed_; }

 private:
  struct Read {
    bool ok = false;  // false: the server call failed
    int64_t value = 0;
  };
  // A read retried while it answers `unknown`, readTries times readGap apart.
  Read ReadRetried(Rig& rig, RigValue (Rig::*read)(), int64_t unknown);
  RigServer& Server();
  Rig* TakeRig(int number);
  // A failed call of the tuning rig: not connected.
  int TuneFailed();
  // Runs a call with waits, or answers busyResult when called from a wait of another.
  template <typename F>
  int Guarded(int busyResult, F call);
  int Qsy(int kind);
  int Tune(int kind, int64_t d, int bins);
  int TuneRit(Rig& rig, int64_t d);
  int TuneVfo(Rig& rig, int64_t d);
  bool Write(RigStatus status);
  void Freeze();
  void StartRigControlOnce();
  void OffMessage(const char* text);
  void CommandSetMissing();
  int SplitCheck(int64_t arg);
  void RetryUnkey();

  RigControlSettings& s_;
  const KeyingPortSettings& ports_;
  TModemParams& params_;
  const TSampleRates& rates_;
  TRxBlockProcessor& blocks_;
  Links links_;

  RigServer* server_ = nullptr;
  int tuneState_ = 0;  // 0 nothing, 1 server object created, 3 connected
  int pttState_ = 0;
  Rig* tuneRig_ = nullptr;
  Rig* pttRig_ = nullptr;
  uint32_t readable_ = 0, writeable_ = 0;
  uint8_t pttLines_ = 0, powerLines_ = 0;
  bool portLinesReported_ = false;

  bool unkeyOwed_ = false;   // an unkey by CAT not yet seen on the rig
  bool keyedByCat_ = false;  // between a keying by CAT and its unkey
  bool notKeyedShown_ = false;
  int64_t lastApplied_ = 0, lastSeen_ = 0;
  bool busy_ = false;  // a call with waits is under way
  bool restartOwed_ = false;
};

}  // namespace vestrel
