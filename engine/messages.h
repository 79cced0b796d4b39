#pragma once
#include <cstdint>

namespace vestrel {

// Messages posted to the main window (WM_APP based, both parameters 0).
inline constexpr uint32_t kWmApp = 0x8000;
inline constexpr uint32_t WM_SENT_ECHO = kWmApp + 0x191;       // a sent character waits in SentEchoQueue
inline constexpr uint32_t WM_PUMP_TX = kWmApp + 0x192;         // run the text pump
inline constexpr uint32_t WM_TX_OFF = kWmApp + 0x193;          // from other programs only
inline constexpr uint32_t WM_PAUSE_ON = kWmApp + 0x194;        // from other programs only
inline constexpr uint32_t WM_TX_ON = kWmApp + 0x195;           // from other programs only
inline constexpr uint32_t WM_BEACON_OFF = kWmApp + 0x197;      // from other programs only
inline constexpr uint32_t WM_SPECTRUM_READY = kWmApp + 0x198;  // a new spectrum block
inline constexpr uint32_t WM_WAVEIN_DATA = kWmApp + 0x1F5;     // a capture buffer is full
inline constexpr uint32_t WM_WAVEOUT_DONE = kWmApp + 0x1F6;    // a playback buffer has played

// Posts a message to the main window. Safe to call from any thread; never blocks.
class Poster {
 public:
  virtual void Post(uint32_t message) = 0;

 protected:
  ~Poster() = default;
};

}  // namespace vestrel
