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

fs::path AlsaTestConfig::WritePlugins(const fs::path& dir, const std::string& cardDescription) {
  const fs::path conf = dir / "plugins.conf";
  std::ofstream f(conf);
  struct Plugin {
    const char *name, *body, *description;
  };
  // As the plug-in packages define them; none is opened by listing.
  const Plugin plugins[] = {
      {"lavrate", "type rate converter \"lavrate\" slave.pcm \"plug:hw\" slave.rate 48000",
       "Rate Converter Plugin Using Libav/FFmpeg Library"},
      {"samplerate", "type rate converter \"samplerate\" slave.pcm \"plug:hw\" slave.rate 48000",
       "Rate Converter Plugin Using Samplerate Library"},
      {"jack", "type jack playback_ports.0 system:playback_1 capture_ports.0 system:capture_1",
       "JACK Audio Connection Kit"},
      {"oss", "type oss device \"/dev/dsp\"", "Open Sound System"},
      {"pulse", "type pulse", "PulseAudio Sound Server"},
      {"speex", "type speex slave.pcm \"plug:hw\"",
       "Plugin using Speex DSP (resample, agc, denoise, echo, dereverb)"},
      {"upmix", "type upmix slave.pcm \"plug:hw\"", "Plugin for channel upmix (4,6,8)"},
      {"vdownmix", "type vdownmix slave.pcm \"plug:hw\"",
       "Plugin for channel downmix (stereo) with a simple spacialization"},
  };
  for (const Plugin& p : plugins)
    f << "pcm." << p.name << " { " << p.body << " hint { show on description \"" << p.description
      << "\" } }\n";
  if (!cardDescription.empty())
    f << "pcm.vestrel_card { type null hint { show on description \"" << cardDescription << "\" } }\n";
  return conf;
}

void AlsaTestConfig::Use(const fs::path& conf) {
  setenv("ALSA_CONFIG_PATH", conf.c_str(), 1);
  snd_config_update_free_global();
}

}  // namespace vestrel::test
