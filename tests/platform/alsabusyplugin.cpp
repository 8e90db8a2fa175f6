// ALSA PCM type "krvbusy": every open fails with EBUSY, like a capture
// device that another program holds.
#include <alsa/asoundlib.h>
#include <alsa/pcm_external.h>

#include <cerrno>

extern "C" {
SND_PCM_PLUGIN_DEFINE_FUNC(krvbusy)
{
    (void)pcmp;
    (void)name;
    (void)root;
    (void)conf;
    (void)stream;
    (void)mode;
    return -EBUSY;
}
SND_PCM_PLUGIN_SYMBOL(krvbusy);
}
