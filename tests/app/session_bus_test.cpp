#include "app/session_bus.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "support/alsa_test_config.h"
#include "support/qt_test_app.h"

namespace vestrel {
namespace {

namespace fs = std::filesystem;

// A listening Unix socket at `path`, closed with the object.
class SocketFile {
 public:
  explicit SocketFile(const fs::path& path) : fd_(socket(AF_UNIX, SOCK_STREAM, 0)) {
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::strncpy(a.sun_path, path.c_str(), sizeof a.sun_path - 1);
    EXPECT_EQ(bind(fd_, reinterpret_cast<const sockaddr*>(&a), sizeof a), 0);
    listen(fd_, 1);
  }
  ~SocketFile() { close(fd_); }

 private:
  int fd_;
};

TEST(SessionBus, TheAddressGivenElseTheUsersBusSocketElseNone) {
  test::TestApp();
  test::SoundTestDir dir;
  const fs::path runtime = dir.path() / "run dir~1";
  fs::create_directories(runtime);
  qunsetenv("DBUS_SESSION_BUS_ADDRESS");
  qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.string()));
  EXPECT_TRUE(SessionBusAddress().isEmpty());  // no socket there
  std::ofstream(runtime / "bus") << "not a socket";
  EXPECT_TRUE(SessionBusAddress().isEmpty());
  fs::remove(runtime / "bus");
  {
    SocketFile bus(runtime / "bus");
    // The blank and the tilde are escaped as a bus address wants them.
    EXPECT_EQ(SessionBusAddress().toStdString(), "unix:path=" + dir.path().string() + "/run%20dir%7E1/bus");
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/given/bus");
    EXPECT_EQ(SessionBusAddress().toStdString(), "unix:path=/given/bus");
  }
  // Nothing runs: the program's connection stays unconnected, and no daemon is started for it.
  qunsetenv("DBUS_SESSION_BUS_ADDRESS");
  EXPECT_FALSE(SessionBus().isConnected());
  qunsetenv("XDG_RUNTIME_DIR");
  EXPECT_TRUE(SessionBusAddress().isEmpty());
}

}  // namespace
}  // namespace vestrel
