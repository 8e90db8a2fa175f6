#include "viewfactories.h"

#include "views/acrview.h"
#include "views/ccrview.h"
#include "views/cohview.h"
#include "views/crsview.h"
#include "views/dmmview.h"
#include "views/fftview.h"
#include "views/frfview.h"
#include "views/octview.h"
#include "views/psdview.h"
#include "views/spgview.h"
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
        MakeView<CCcrView>, // Ccr
        MakeView<CAcrView>, // Acr
        MakeView<CSpgView>, // Spg
        MakeView<COctView>, // Oct
        MakeView<CDmmView>, // Dmm
    };
    return factories;
}
