#include "testview.h"

#include "panels/viewbar.h"
#include "widgets/selectorbutton.h"

#include <utility>

namespace {
constexpr DialogControl kPanelTemplate[] = {
    {CPanelDlg::GroupAxis, ControlKind::Frame, "", 2, 3, 94, 16},
    {CTestPanel::kModeId, ControlKind::Selector, "Mode", 4, 6, 60, 11},
};
constexpr PanelSetting kSettings[] = {{CTestPanel::kModeId, "Mode:"}};

template <std::size_t... I> ViewFactories MakeAll(std::index_sequence<I...>)
{
    return {&MakeTestView<ViewKind(I)>...};
}
} // namespace

CTestPanel::CTestPanel(QWidget* view) : CPanelDlg(view) { Create(kPanelTemplate, 98, 40); }

void CTestPanel::OnInitDialog()
{
    SetSettings(kSettings);
    for (const char* text : {"A", "B", "C"})
        Selector(kModeId)->AddItem(text, -1);
    Selector(kModeId)->SelectText("A");
}

CTestView::CTestView(ViewKind kind, MainFrame* frame, QWidget* parent) : CGraphWnd(frame, parent), m_kind(kind) {}

QStringList& CTestView::Log()
{
    static QStringList log;
    return log;
}

void CTestView::Note(const char* operation)
{
    Log().append(QString::fromLatin1(CViewBar::BlockName(m_kind)) + '.' + operation);
}

void CTestView::Analyse() { Note("Analyse"); }
void CTestView::Tick() { Note("Tick"); }
void CTestView::Reinit() { Note("Reinit"); }

void CTestView::Show(bool show)
{
    if (show)
        Note("Show");
    CGraphWnd::Show(show);
}

void CTestView::CreatePanel() { m_panel = new CTestPanel(this); }

void CTestView::StorePanel(TextArchive& archive) { TestPanel()->SerializePanel(archive); }

void CTestView::LoadPanel(TextArchive& archive) { TestPanel()->SerializePanel(archive); }

ViewFactories AllTestViews() { return MakeAll(std::make_index_sequence<kViewKindCount>()); }

ViewFactories TestViewsOf(std::initializer_list<ViewKind> kinds)
{
    const ViewFactories all = AllTestViews();
    ViewFactories some{};
    for (ViewKind kind : kinds)
        some[int(kind)] = all[int(kind)];
    return some;
}
