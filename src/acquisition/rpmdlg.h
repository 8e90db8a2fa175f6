#pragma once
// "Setting for RPM": the pulse settings of an rpm input. The caller fills
// the members, runs the dialog and, after OK, reads them back: the trigger
// level and hold-off as the texts of their lists ("50%", "100usec"), the
// teeth per revolution and the edges per period as whole numbers of at
// least 1. UI thread only.

#include <QDialog>
#include <QString>

class CSelectorButton;

class CRpmDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 158;
    static constexpr int kLevelId = 1022;
    static constexpr int kHoldOffId = 1087;
    static constexpr int kTeethId = 1088;
    static constexpr int kEdgesId = 1089;

    explicit CRpmDlg(QWidget* parent = nullptr);

    // Set before the dialog runs; a text not in its list selects the first
    // entry (0 % and 0 microseconds).
    void SetValues(const QString& levelText, const QString& holdOffText, int teeth, int edgesPerPeriod);

    // The choices as they were at OK.
    const QString& LevelText() const { return m_levelText; }
    const QString& HoldOffText() const { return m_holdOffText; }
    int Teeth() const { return m_teeth; }
    int EdgesPerPeriod() const { return m_edges; }

    CSelectorButton* Selector(int id) const;

    void accept() override;

private:
    QString m_levelText;
    QString m_holdOffText;
    int m_teeth = 1;
    int m_edges = 1;
};
