#pragma once
// The main window's pop-up menu (resource 149): settings sets, colour
// schemes, data path, auto setup and p0. Each action carries its command
// number (QAction::data()); the chosen number is reported by
// CommandChosen(int). The actions behind the numbers are dispatched by
// DispatchMenuCommand onto a MenuCommandTarget, which the main window
// implements. UI thread only.

#include <QObject>
#include <QMenu>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <array>

class QAction;
class QWidget;

namespace MenuCommand {
inline constexpr int SaveSet1 = 32771, SaveSet2 = 32784, SaveSet3 = 32785, SaveSet4 = 32786;
inline constexpr int LoadSet1 = 32772, LoadSet2 = 32781, LoadSet3 = 32782, LoadSet4 = 32783;
inline constexpr int SchemeDark = 32773, SchemeGreen = 32774, SchemeBW = 32775;
inline constexpr int CheckForUpdate = 32776;
inline constexpr int DataPath = 32777;
inline constexpr int AutoSetup = 32778;
inline constexpr int DefineP0 = 32787;
// The export of the view last clicked.
inline constexpr int CopyData = 32791, ExportCsv = 32792, ExportPng = 32793;
inline constexpr std::array<int, 4> kSave = {SaveSet1, SaveSet2, SaveSet3, SaveSet4};
inline constexpr std::array<int, 4> kLoad = {LoadSet1, LoadSet2, LoadSet3, LoadSet4};
} // namespace MenuCommand

class CMainMenu : public QObject {
    Q_OBJECT
public:
    static constexpr int kResourceId = 149;

    explicit CMainMenu(QWidget* owner);
    ~CMainMenu() override;

    // Renames the eight set items to "s1 <name>" .. "s4 <name>" and sets the
    // "Auto Setup" check mark; call before showing the menu.
    void Update(const std::array<QString, 4>& setNames, bool autoSetup);
    // Enables the three export items (a view was clicked).
    void SetExportEnabled(bool enabled);

    // Shows the menu with its top left corner at the global point and
    // returns at once; the choice arrives as CommandChosen.
    void Popup(const QPoint& globalPos);

    QMenu* Menu() const { return m_menu; }
    // The action of a command number, or null.
    QAction* Action(int command) const;
    // Triggers the enabled action of that number as a click on it would.
    bool Trigger(int command);

signals:
    void CommandChosen(int command);

private:
    QAction* AddCommand(QMenu* menu, const QString& text, int command);

    // Owned here, parented to the owner widget; whichever goes first.
    QPointer<QMenu> m_menu;
};

// What the commands do; the main window implements it.
class MenuCommandTarget {
public:
    virtual ~MenuCommandTarget() = default;
    virtual void SaveSettingsSet(int set) = 0;  // set 1 .. 4
    virtual void LoadSettingsSet(int set) = 0;  // set 1 .. 4
    virtual void ApplyColourScheme(int scheme) = 0;
    virtual void ToggleAutoSetup() = 0;
    virtual void ChooseDataPath() = 0;
    virtual void DefineP0() = 0;
    enum class Export { CopyData, Csv, Png };
    virtual void ExportView(Export what) = 0;
};

// Runs the action of a command number; false for a number without one
// ("Check for Update" and unknown numbers).
bool DispatchMenuCommand(int command, MenuCommandTarget& target);
