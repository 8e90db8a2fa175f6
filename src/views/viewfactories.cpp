#include "viewfactories.h"

#include "views/cohview.h"
#include "views/crsview.h"
#include "views/dmmview.h"
#include "views/fftview.h"
#include "views/frfview.h"
#include "views/octview.h"
#include "views/psdview.h"
#include "views/timeview.h"

// A view class enters its kind's slot as MakeView<CTimeView> and so on; the
// page makes its views from here.
const ViewFactories& RegisteredViews()
{
    static const ViewFactories factories = {
        MakeView<CTimeView>, // Time
        MakeView<CFftView>, // Fft
        MakeView<CPsdView>, // Psd
        MakeView<CFrfView>, // Frf
        MakeView<CCohView>, // Coh
        MakeView<CCrsView>, // Crs
        nullptr, // Ccr
        nullptr, // Acr
        nullptr, // Spg
        MakeView<COctView>, // Oct
        MakeView<CDmmView>, // Dmm
    };
    return factories;
}
