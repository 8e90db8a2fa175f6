#pragma once
// A graph view for the page tests: it logs every call the page makes to it
// ("FFT.Analyse") into one log shared by all test views, and has a panel with
// one selector whose settings line is "Mode:".

#include "views/graphwnd.h"
#include "views/paneldlg.h"
#include "views/viewfactories.h"

#include <QStringList>

class CTestPanel : public CPanelDlg {
public:
    static constexpr int kModeId = 1026;
    explicit CTestPanel(QWidget* view);

protected:
    void OnInitDialog() override;
};

class CTestView : public CGraphWnd {
public:
    CTestView(ViewKind kind, MainFrame* frame, QWidget* parent);

    static QStringList& Log();
    ViewKind Kind() const { return m_kind; }
    CTestPanel* TestPanel() const { return static_cast<CTestPanel*>(m_panel); }
    int TraceCount() const { return m_traceCount; }

    void Analyse() override;
    void Tick() override;
    void Reinit() override;
    void Show(bool show) override;
    void CreatePanel() override;
    void StorePanel(TextArchive& archive) override;
    void LoadPanel(TextArchive& archive) override;

private:
    void Note(const char* operation);
    ViewKind m_kind;
};

template <ViewKind Kind> CGraphWnd* MakeTestView(MainFrame* frame, QWidget* parent)
{
    return new CTestView(Kind, frame, parent);
}

// Test views for all eleven kinds, or for those given.
ViewFactories AllTestViews();
ViewFactories TestViewsOf(std::initializer_list<ViewKind> kinds);
