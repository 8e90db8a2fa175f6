#pragma once
// A private ALSA configuration for one test: ALSA_CONFIG_PATH points at a
// file in the test's folder, so that no system device is touched.

#include <string>

class TestEnvironment;

namespace AlsaConfig {
// "file": device 0 ("default") captures the raw S16_LE stereo file infile
// through the file plugin; "null": default captures zeros through the null
// plugin; "busy": default is always in use; "empty": no capture PCM.
void Use(TestEnvironment& env, const std::string& kind, const std::string& infile = {});
}
