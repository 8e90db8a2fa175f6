#include "halvekmodule.h"

CHalvekModule::CHalvekModule(CRecordFile& recording) : CHwModule(recording, kChannelCount, "Halvek", "Halvek:%d") {}
