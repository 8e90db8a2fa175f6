#include "halvekplusmodule.h"

CHalvekPlusModule::CHalvekPlusModule(CRecordFile& recording) : CHwModule(recording, kChannelCount, "Halvek+", "HalvekP:%d") {}
