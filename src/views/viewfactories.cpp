#include "viewfactories.h"

// A view class enters its kind's slot as MakeView<CTimeView> and so on; the
// page makes its views from here.
const ViewFactories& RegisteredViews()
{
    static const ViewFactories factories = {
        nullptr, // Time
        nullptr, // Fft
        nullptr, // Psd
        nullptr, // Frf
        nullptr, // Coh
        nullptr, // Crs
        nullptr, // Ccr
        nullptr, // Acr
        nullptr, // Spg
        nullptr, // Oct
        nullptr, // Dmm
    };
    return factories;
}
