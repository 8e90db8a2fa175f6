#include "alsaconfig.h"

#include "support/testenvironment.h"

#include <alsa/asoundlib.h>

#include <filesystem>
#include <fstream>

void AlsaConfig::Use(TestEnvironment& env, const std::string& kind, const std::string& infile)
{
    std::string text = "pcm.null { type null hint { show on description \"Discard\" } }\n";
    if (kind == "file")
        text += "pcm.!default { type file slave.pcm \"null\" file \"/dev/null\" infile \"" + infile +
                "\" format \"raw\" hint { show on description \"Test file input\" } }\n"
                "pcm.second { type null hint { show on description \"Second input\" } }\n";
    else if (kind == "null")
        text += "pcm.!default { type null hint { show on description \"Null capture\" } }\n";
    else if (kind == "busy")
        text += "pcm_type.krvbusy { lib \"" + std::filesystem::absolute(TestEnvironment::BinDir()).string() +
                "/libasound_module_pcm_krvbusy.so\" }\n"
                "pcm.!default { type krvbusy hint { show on description \"Busy input\" } }\n";
    const std::string path = env.Root() + "/asound.conf";
    std::ofstream(path) << text;
    env.SetEnv("ALSA_CONFIG_PATH", path);
    env.SetEnv("KRV_WAVEIN", "alsa");
    // ALSA keeps its configuration once read; drop it so the new file counts.
    snd_config_update_free_global();
}
