#include "halvekdcmodule.h"

CHalvekDcModule::CHalvekDcModule(CRecordFile& recording)
    : CRecorderModule(recording, kChannelCount, "HalvekDC", "Halvek:%d", kStandardRanges)
{
}
