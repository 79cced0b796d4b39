#include "app/message_bus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <cstdio>

#include "app/session_bus.h"

namespace vestrel {

MessageBus::MessageBus(Poster& poster, std::function<void(uint32_t, uint32_t)> onBrkCw)
    : poster_(poster), onBrkCw_(std::move(onBrkCw)) {}

bool MessageBus::Register() {
  if (registered_) return true;
  bus_ = SessionBus();
  if (!bus_.isConnected()) {
    std::fprintf(stderr,
                 "Vestrel: no D-Bus session bus; the logger link and the commands of other programs are off.\n");
    return false;
  }
  bus_.connect(QString(), QString(), QString::fromLatin1(kMessagesInterface), QStringLiteral("BRK_CW"), this,
               SLOT(OnBrkCw(uint, uint)));
  bus_.registerObject(QString::fromLatin1(kWindowPath), this, QDBusConnection::ExportScriptableSlots);
  // A second instance cannot own the name; it still answers on its unique bus name.
  if (!bus_.registerService(QString::fromLatin1(kService))) {
    std::fprintf(stderr, "Vestrel: the bus name %s is taken by another instance.\n", kService);
  }
  registered_ = true;
  return true;
}

void MessageBus::BroadcastTandelMessage(uint32_t wParam, uint32_t lParam) {
  if (!registered_) return;
  QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(kMessagesPath),
                                                   QString::fromLatin1(kMessagesInterface),
                                                   QStringLiteral("Tandel_Message"));
  signal << uint(wParam) << uint(lParam);
  bus_.send(signal);
}

void MessageBus::TxOff() { poster_.Post(WM_TX_OFF); }
void MessageBus::PauseOn() { poster_.Post(WM_PAUSE_ON); }
void MessageBus::TxOn() { poster_.Post(WM_TX_ON); }
void MessageBus::BeaconOff() { poster_.Post(WM_BEACON_OFF); }

void MessageBus::OnBrkCw(uint wParam, uint lParam) {
  if (onBrkCw_) onBrkCw_(wParam, lParam);
}

}  // namespace vestrel
