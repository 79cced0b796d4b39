#include "support/alsa_test_config.h"

#include <alsa/asoundlib.h>

#include <cstdlib>
#include <fstream>

namespace vestrel::test {

namespace fs = std::filesystem;

fs::path AlsaTestConfig::WriteFilePcm(const fs::path& dir, const fs::path& input, const fs::path& output) {
  const fs::path conf = dir / "asound.conf";
  std::ofstream f(conf);
  // The file plug-in copies captured audio to its "file" too: the capture side gets a file
  // of its own so that it never overwrites the playback output.
  f << "pcm.vestrel_test {\n"
       "  type asym\n"
       "  playback.pcm \"vestrel_test_playback\"\n"
       "  capture.pcm \"vestrel_test_capture\"\n"
       "  hint { show on description \"Vestrel test device\" }\n"
       "}\n"
       "pcm.vestrel_test_playback {\n"
       "  type file\n"
       "  slave.pcm \"vestrel_test_null\"\n"
       "  file \""
    << output.string()
    << "\"\n"
       "  format \"raw\"\n"
       "}\n"
       "pcm.vestrel_test_capture {\n"
       "  type file\n"
       "  slave.pcm \"vestrel_test_null\"\n"
       "  file \""
    << (dir / "capture-copy.raw").string()
    << "\"\n"
       "  infile \""
    << input.string()
    << "\"\n"
       "  format \"raw\"\n"
       "}\n"
       "pcm.vestrel_test_null { type null }\n"
       "pcm.!default \"vestrel_test\"\n";
  return conf;
}

fs::path AlsaTestConfig::WriteNoDevice(const fs::path& dir) {
  const fs::path conf = dir / "empty.conf";
  std::ofstream f(conf);
  f << "# no PCM at all\n";
  return conf;
}

void AlsaTestConfig::Use(const fs::path& conf) {
  setenv("ALSA_CONFIG_PATH", conf.c_str(), 1);
  snd_config_update_free_global();
}

}  // namespace vestrel::test
