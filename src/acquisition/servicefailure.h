#pragma once
// The text that tells the user why the channel buffer service refused a
// channel definition.

#include <QString>

// result: the negative ZQ_E_* code of ZQ_SetNrOfChan or ZQ_SetChanDef. For
// ZQ_E_BUSY the text names the process that publishes channels instead.
// UI thread only.
QString ServiceFailureText(int result);
