#include "setupdialoglayout.h"

#include "acquisition/hwchansetup.h"

namespace {
using F = SetupField;

constexpr const char* kRanges = "10mV\t20mV\t50mV\t100mV\t200mV\t500mV\t1V\t2V\t5V\t10V\t";
constexpr const char* kPendraRanges = "10mV\t20mV\t50mV\t100mV\t200mV\t500mV\t1V\t2V\t5V\t10V\t14V\t";
constexpr const char* kInputs = "Analog\tRPM\t";
constexpr const char* kAcIcp = "AC\tICP\t";
constexpr const char* kDcAcIcp = "DC\tAC\tICP\t";
constexpr const char* kFilters = "No Filter\tHP 22Hz\tLP 500Hz\tLP 1kHz\tLP 4kHz\t";
constexpr int kLastChannel = 23;

constexpr SetupColumn kHalvek[] = {
    {"Chan", 40, F::Chan},
    {"On/Off", 40, F::On},
    {"Range", 50, F::Range, kRanges, 0, kLastChannel},
    {"Input", 60, F::Input, kInputs, 23, 23, nullptr, true},
    {"Coupl.", 50, F::Cpl, kAcIcp, 0, kLastChannel, nullptr, true},
    {"Unit", 40, F::Unit},
    {"Phys", 40, F::A},
    {"at V", 40, F::AtV},
    {"Phys at 0V", 60, F::B},
    {"Name", 160, F::Name},
};

constexpr SetupColumn kHalvekDc[] = {
    {"Chan", 40, F::Chan},
    {"On/Off", 40, F::On},
    {"Range", 50, F::Range, kRanges, 0, kLastChannel},
    {"Unit", 40, F::Unit},
    {"Phys", 40, F::A},
    {"at V", 40, F::AtV},
    {"Phys at 0V", 60, F::B},
    {"Name", 160, F::Name},
};

// Input on channels 4 and 5; coupling DC/AC/ICP and the filters on
// channels 0-5, AC/ICP only beyond.
constexpr SetupColumn kHalvekPlus[] = {
    {"Chan", 40, F::Chan},
    {"On/Off", 40, F::On},
    {"Range", 50, F::Range, kRanges, 0, kLastChannel},
    {"Input", 60, F::Input, kInputs, 4, 5, nullptr, true},
    {"Coupl.", 50, F::Cpl, kDcAcIcp, 0, 5, kAcIcp, true},
    {"Filter", 60, F::Filter, kFilters, 0, 5},
    {"Unit", 40, F::Unit},
    {"Phys", 40, F::A},
    {"at V", 40, F::AtV},
    {"Phys at 0V", 60, F::B},
    {"Name", 160, F::Name},
};

constexpr SetupColumn kMorsil[] = {
    {"Chan", 40, F::Chan},
    {"On/Off", 40, F::On},
    {"Range", 50, F::Range, kRanges, 0, kLastChannel},
    {"Input", 60, F::Input, kInputs, 0, kLastChannel, nullptr, true},
    {"Coupl.", 50, F::Cpl, kDcAcIcp, 0, kLastChannel, nullptr, true},
    {"Filter", 60, F::Filter, kFilters, 0, kLastChannel},
    {"Unit", 40, F::Unit},
    {"Phys", 40, F::A},
    {"at V", 40, F::AtV},
    {"Phys at 0V", 60, F::B},
    {"Name", 160, F::Name},
};

// The Pendra's 22 Hz high-pass exists on channels 0-3 only, so the filter
// is offered there only.
constexpr SetupColumn kPendra[] = {
    {"Chan", 40, F::Chan},
    {"On/Off", 40, F::On},
    {"Range", 50, F::Range, kPendraRanges, 0, kLastChannel},
    {"Input", 60, F::Input, kInputs, 0, kLastChannel, nullptr, true},
    {"Coupl.", 50, F::Cpl, kAcIcp, 0, kLastChannel, nullptr, true},
    {"Filter", 60, F::Filter, "No Filter\tHP 22Hz\t", 0, 3, nullptr, true},
    {"Power", 60, F::MicPwr, "+28V\t+-60V\t", 0, kLastChannel, nullptr, true},
    {"Polarity", 60, F::MicPolVolt, "0V\t200V\t", 0, kLastChannel, nullptr, true},
    {"Unit", 40, F::Unit},
    {"Phys", 40, F::A},
    {"at V", 40, F::AtV},
    {"Phys at 0V", 60, F::B},
    {"Name", 160, F::Name},
};

constexpr SetupDialogLayout kLayouts[] = {
    {"Halvek", "", 24, "Apply + Start", false, kHalvek},
    {"HalvekDC", "HalvekDC", 24, "OK", false, kHalvekDc},
    {"Halvek+", "Halvek PLus", 24, "OK", false, kHalvekPlus},
    {"Morsil", "Morsil", 6, "Apply + Start", true, kMorsil},
    {"Pendra", "Pendra", 6, "OK", true, kPendra},
};
} // namespace

const char* SetupColumn::ItemsOfRow(int row) const
{
    if (!items)
        return nullptr;
    return row >= firstRow && row <= lastRow ? items : otherItems;
}

int* SetupColumn::IntField(HwChanSetup& record, SetupField field)
{
    switch (field) {
    case F::Range: return &record.Range;
    case F::Input: return &record.Input;
    case F::Cpl: return &record.Cpl;
    case F::Filter: return &record.Filter;
    case F::MicPwr: return &record.MicPwr;
    case F::MicPolVolt: return &record.MicPolVolt;
    default: return nullptr;
    }
}

QString* SetupColumn::TextField(HwChanSetup& record, SetupField field)
{
    switch (field) {
    case F::Unit: return &record.Unit;
    case F::A: return &record.a;
    case F::AtV: return &record.atV;
    case F::B: return &record.b;
    case F::Name: return &record.Name;
    default: return nullptr;
    }
}

const SetupDialogLayout* SetupDialogLayout::ForModel(const QString& typeName)
{
    for (const SetupDialogLayout& layout : kLayouts) {
        if (typeName == QLatin1String(layout.typeName))
            return &layout;
    }
    return nullptr;
}

int SetupDialogLayout::ColumnOf(SetupField field) const
{
    for (size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].field == field)
            return static_cast<int>(i);
    }
    return -1;
}
