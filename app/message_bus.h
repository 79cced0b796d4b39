#pragma once
#include <QDBusConnection>
#include <QObject>
#include <cstdint>
#include <functional>

#include "engine/messages.h"

namespace vestrel {

// The session-bus side of the main window. Other programs see:
// - signal "Tandel_Message"(uint32 wParam, uint32 lParam) on path /vestrel/Messages,
//   interface vestrel.Messages: the window's notifications to the logger;
// - signal "BRK_CW"(uint32 wParam, uint32 lParam) on that interface, from any sender and
//   path: commands of the logger to the window;
// - methods TxOff, PauseOn, TxOn and BeaconOff of interface vestrel.Window on path
//   /vestrel/Window, bus name vestrel.Vestrel: the four messages other programs post.
class MessageBus : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "vestrel.Window")

 public:
  static constexpr const char* kService = "vestrel.Vestrel";
  static constexpr const char* kWindowPath = "/vestrel/Window";
  static constexpr const char* kMessagesPath = "/vestrel/Messages";
  static constexpr const char* kMessagesInterface = "vestrel.Messages";

  // poster: where the four outside messages are posted; onBrkCw: the logger command handler.
  MessageBus(Poster& poster, std::function<void(uint32_t, uint32_t)> onBrkCw);

  // Subscribes "BRK_CW" and offers the window's methods on the running session bus
  // (SessionBus: no bus daemon is started for them). Without a session bus the program runs
  // without them, says so once on stderr and returns false.
  bool Register();
  bool registered() const { return registered_; }
  // Asynchronous: never waits for a receiver.
  void BroadcastTandelMessage(uint32_t wParam, uint32_t lParam);

 public slots:
  Q_SCRIPTABLE void TxOff();
  Q_SCRIPTABLE void PauseOn();
  Q_SCRIPTABLE void TxOn();
  Q_SCRIPTABLE void BeaconOff();

 private slots:
  void OnBrkCw(uint wParam, uint lParam);

 private:
  Poster& poster_;
  std::function<void(uint32_t, uint32_t)> onBrkCw_;
  QDBusConnection bus_{QString()};
  bool registered_ = false;
};

}  // namespace vestrel
