#pragma once
#include <QDBusConnection>
#include <QString>

namespace vestrel {

// The program uses a session bus only where one runs: the bus that DBUS_SESSION_BUS_ADDRESS
// names, else the user's bus socket $XDG_RUNTIME_DIR/bus. Left to itself the bus library
// would start a bus daemon of its own under X (autolaunch), which outlives the program.

// The address of that bus; empty when there is none.
QString SessionBusAddress();

// Once, after the application object is made and before the first window: Qt's own session
// connection (accessibility, menus) keeps to the same rule.
void KeepToRunningSessionBus();

// The program's connection to that bus; not connected when there is none.
QDBusConnection SessionBus();

}  // namespace vestrel
