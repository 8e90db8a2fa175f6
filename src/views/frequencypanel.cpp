#include "views/frequencypanel.h"

#include "context/parsewithprefix.h"
#include "views/panellists.h"
#include "widgets/selectorbutton.h"

#include <algorithm>

namespace {
constexpr int kOffsetStep = 5;
constexpr int kXPosStep = 100;
} // namespace

double CFrequencyPanel::Division(int trace) const
{
    const CSelectorButton* yDiv = Selector(trace == 0 ? IdYDiv1 : IdYDiv2);
    return yDiv ? ParseWithPrefix(yDiv->CurrentText()) : 1.0;
}

double CFrequencyPanel::Offset(int trace) const
{
    const CSelectorButton* offset = Selector(trace == 0 ? IdOff1 : IdOff2);
    return offset && offset->IsNumeric() ? offset->NumericValue() : 0.0;
}

int CFrequencyPanel::Window() const
{
    const CSelectorButton* window = Selector(IdWindow);
    return window ? std::max(0, window->CurrentKey()) : 2;
}

double CFrequencyPanel::FrequencyPerDivision() const
{
    const CSelectorButton* xDiv = Selector(IdXDiv);
    return xDiv ? ParseWithPrefix(xDiv->CurrentText()) : 100.0;
}

double CFrequencyPanel::XOffset() const
{
    const CSelectorButton* xPos = Selector(IdXPos);
    return xPos && xPos->IsNumeric() ? xPos->NumericValue() : 0.0;
}

int CFrequencyPanel::CursorKey() const
{
    const CSelectorButton* cursor = Selector(IdCursor);
    return cursor ? std::max(0, cursor->CurrentKey()) : 0;
}

void CFrequencyPanel::RegridOffset(int trace)
{
    CSelectorButton* offset = Selector(trace == 0 ? IdOff1 : IdOff2);
    if (!offset)
        return;
    offset->SetNumeric(Division(trace), Offset(trace));
    offset->update();
}

void CFrequencyPanel::RegridXOffset(double step)
{
    CSelectorButton* xPos = Selector(IdXPos);
    if (!xPos || step <= 0.0)
        return;
    xPos->SetNumeric(step, XOffset());
    xPos->update();
}

void CFrequencyPanel::SetTraceScale(int trace, double division, double offset)
{
    CSelectorButton* yDiv = Selector(trace == 0 ? IdYDiv1 : IdYDiv2);
    CSelectorButton* off = Selector(trace == 0 ? IdOff1 : IdOff2);
    if (!yDiv || !off)
        return;
    yDiv->SelectNearest(division);
    yDiv->update();
    off->SetNumeric(Division(trace), offset);
    off->update();
}

void CFrequencyPanel::SetFrequencyScale(double perDivision)
{
    if (CSelectorButton* xDiv = Selector(IdXDiv)) {
        xDiv->SelectNearest(perDivision);
        xDiv->update();
    }
    if (CSelectorButton* xPos = Selector(IdXPos)) {
        xPos->SetNumeric(FrequencyPerDivision() * 0.1, 0.0);
        xPos->update();
    }
}

void CFrequencyPanel::FillCommon(const char* yDiv1, const char* yDiv2)
{
    if (CSelectorButton* s = Selector(IdYDiv1))
        VoltsPerDivList(*s, QString::fromLatin1(yDiv1));
    if (CSelectorButton* s = Selector(IdYDiv2))
        VoltsPerDivList(*s, QString::fromLatin1(yDiv2));
    for (int id : {IdOff1, IdOff2})
        if (CSelectorButton* s = Selector(id))
            s->SetNumeric(kOffsetStep, 0.0);
    if (CSelectorButton* s = Selector(IdWindow))
        WindowList(*s, QStringLiteral("Hann"));
    if (CSelectorButton* s = Selector(IdXDiv))
        SpanList(*s, QStringLiteral("100 Hz"));
}

void CFrequencyPanel::MakeXPosNumeric()
{
    if (CSelectorButton* s = Selector(IdXPos))
        s->SetNumeric(kXPosStep, 0.0);
}

void CFrequencyPanel::FillKeyed(int id, std::initializer_list<const char*> texts, bool wrap)
{
    CSelectorButton* selector = Selector(id);
    if (!selector)
        return;
    int key = 0;
    for (const char* text : texts)
        selector->AddItem(QString::fromLatin1(text), key++);
    selector->SelectKey(0, false);
    selector->SetWrap(wrap);
}
