#include "pendramodule.h"

CPendraModule::CPendraModule(CRecordFile& recording) : CHwModule(recording, kChannelCount, "Pendra", "Pendra:%d") {}
