#pragma once
#include <filesystem>
#include <string>

#include "support/test_dir.h"

namespace vestrel::test {

// An ALSA configuration of the test's own, so that sound devices work on a machine without a
// sound card. ALSA_CONFIG_PATH replaces the whole system configuration; the one written here
// makes "default" (and device 0 of the lists) a PCM whose capture side reads `input` (raw
// signed 16-bit little-endian samples) and whose playback side writes `output`.
// In this process: WriteFilePcm, then Use before the first device opens. For a program started
// by the test: WriteFilePcm, then ALSA_CONFIG_PATH=<that path> in the child's environment.
// The device is not paced: it delivers and consumes audio as fast as it is asked, and once
// `input` is exhausted capture returns repeated stale frames, so give it more input than the
// test reads.
class AlsaTestConfig {
 public:
  // Writes `dir`/asound.conf and returns its path.
  static std::filesystem::path WriteFilePcm(const std::filesystem::path& dir,
                                            const std::filesystem::path& input,
                                            const std::filesystem::path& output);
  // Writes `dir`/empty.conf: no device at all.
  static std::filesystem::path WriteNoDevice(const std::filesystem::path& dir);
  // Writes `dir`/plugins.conf: the plug-in PCMs a Debian system names (rate converters, jack,
  // oss, pulse, speex, upmix, vdownmix, each with its hint) and no card. With a
  // `cardDescription`, also a card stand-in: PCM "vestrel_card" (type null) with that hint.
  static std::filesystem::path WritePlugins(const std::filesystem::path& dir,
                                            const std::string& cardDescription = {});
  // Points ALSA_CONFIG_PATH at `conf` and makes ALSA read it afresh.
  static void Use(const std::filesystem::path& conf);
};

// Kept under its first name for the sound tests.
using SoundTestDir = TestDir;

}  // namespace vestrel::test
