#include "app/session_bus.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>

namespace vestrel {

QString SessionBusAddress() {
  const QString given = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
  if (!given.isEmpty()) return given;
  const QByteArray runtimeDir = qgetenv("XDG_RUNTIME_DIR");
  if (runtimeDir.isEmpty()) return {};
  const QByteArray path = runtimeDir + "/bus";
  struct stat st {};
  if (stat(path.constData(), &st) != 0 || !S_ISSOCK(st.st_mode) || st.st_uid != getuid()) return {};
  // Bus addresses escape every byte but [-0-9A-Za-z_/.*] as %XX.
  return QStringLiteral("unix:path=") + QString::fromLatin1(path.toPercentEncoding("/*", "~"));
}

void KeepToRunningSessionBus() {
  if (!SessionBusAddress().isEmpty()) return;
  // Qt makes its session connection once and keeps it, connected or not. Made now with an
  // address that cannot connect, it never asks the bus library to start a daemon later;
  // programs started from this one get the environment unchanged.
  qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
  QDBusConnection::sessionBus();
  qunsetenv("DBUS_SESSION_BUS_ADDRESS");
}

QDBusConnection SessionBus() {
  static const QString kName = QStringLiteral("vestrel-session-bus");
  QDBusConnection bus(kName);
  if (bus.isConnected()) return bus;
  // A failed or lost connection keeps its name: drop it before trying again.
  QDBusConnection::disconnectFromBus(kName);
  const QString address = SessionBusAddress();
  if (address.isEmpty()) return bus;
  return QDBusConnection::connectToBus(address, kName);
}

}  // namespace vestrel
