#include "viewfactories.h"

#include "views/acrview.h"
#include "views/ccrview.h"
#include "views/dmmview.h"
#include "views/octview.h"
#include "views/spgview.h"
#include "views/timeview.h"

// A view class enters its kind's slot as MakeView<CTimeView> and so on; the
// page makes its views from here.
const ViewFactories& RegisteredViews()
{
    static const ViewFactories factories = {
        MakeView<CTimeView>, // Time
        nullptr, // Fft
        nullptr, // Psd
        nullptr, // Frf
        nullptr, // Coh
        nullptr, // Crs
        MakeView<CCcrView>, // Ccr
        MakeView<CAcrView>, // Acr
        MakeView<CSpgView>, // Spg
        MakeView<COctView>, // Oct
        MakeView<CDmmView>, // Dmm
    };
    return factories;
}
