#include "halvekdcmodule.h"

CHalvekDcModule::CHalvekDcModule(CRecordFile& recording) : CHwModule(recording, kChannelCount, "HalvekDC", "Halvek:%d") {}
