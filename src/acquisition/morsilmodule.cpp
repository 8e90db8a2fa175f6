#include "morsilmodule.h"

CMorsilModule::CMorsilModule(CRecordFile& recording) : CHwModule(recording, kChannelCount, "Morsil", "Morsil:%d") {}
