#include "mainmenu.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

CMainMenu::CMainMenu(QWidget* owner) : QObject(owner), m_menu(new QMenu(owner))
{
    m_menu->setObjectName(QStringLiteral("menu%1").arg(kResourceId));
    QMenu* save = m_menu->addMenu(QStringLiteral("Save Settings"));
    QMenu* load = m_menu->addMenu(QStringLiteral("Load Settings"));
    for (int i = 0; i < 4; ++i)
        AddCommand(save, QStringLiteral("S%1").arg(i + 1), MenuCommand::kSave[i]);
    for (int i = 0; i < 4; ++i)
        AddCommand(load, QStringLiteral("S%1").arg(i + 1), MenuCommand::kLoad[i]);
    AddCommand(m_menu, QStringLiteral("Colorscheme Dark"), MenuCommand::SchemeDark);
    AddCommand(m_menu, QStringLiteral("Colorscheme Green"), MenuCommand::SchemeGreen);
    AddCommand(m_menu, QStringLiteral("Colorscheme BW"), MenuCommand::SchemeBW);
    AddCommand(m_menu, QStringLiteral("Check for Update"), MenuCommand::CheckForUpdate)->setEnabled(false);
    AddCommand(m_menu, QStringLiteral("Datapath"), MenuCommand::DataPath);
    AddCommand(m_menu, QStringLiteral("Auto Setup"), MenuCommand::AutoSetup)->setCheckable(true);
    AddCommand(m_menu, QStringLiteral("p0 for Log calculation"), MenuCommand::DefineP0);
    m_menu->addSeparator();
    AddCommand(m_menu, QStringLiteral("Copy data"), MenuCommand::CopyData);
    AddCommand(m_menu, QStringLiteral("Export CSV…"), MenuCommand::ExportCsv);
    AddCommand(m_menu, QStringLiteral("Export PNG…"), MenuCommand::ExportPng);
    SetExportEnabled(false);
}

void CMainMenu::SetExportEnabled(bool enabled)
{
    for (int command : {MenuCommand::CopyData, MenuCommand::ExportCsv, MenuCommand::ExportPng})
        Action(command)->setEnabled(enabled);
}

CMainMenu::~CMainMenu()
{
    delete m_menu.data();
}

QAction* CMainMenu::AddCommand(QMenu* menu, const QString& text, int command)
{
    QAction* action = menu->addAction(text);
    action->setData(command);
    connect(action, &QAction::triggered, this, [this, command] { emit CommandChosen(command); });
    return action;
}

QAction* CMainMenu::Action(int command) const
{
    // The sub-menus and their actions are children of the menu.
    for (QAction* action : m_menu->findChildren<QAction*>()) {
        if (!action->menu() && action->data().toInt() == command)
            return action;
    }
    return nullptr;
}

bool CMainMenu::Trigger(int command)
{
    QAction* action = Action(command);
    if (!action || !action->isEnabled())
        return false;
    action->trigger();
    return true;
}

void CMainMenu::Update(const std::array<QString, 4>& setNames, bool autoSetup)
{
    for (int i = 0; i < 4; ++i) {
        QString text = QStringLiteral("s%1 %2").arg(i + 1).arg(setNames[i]);
        Action(MenuCommand::kSave[i])->setText(text);
        Action(MenuCommand::kLoad[i])->setText(text);
    }
    Action(MenuCommand::AutoSetup)->setChecked(autoSetup);
}

void CMainMenu::Popup(const QPoint& globalPos) { m_menu->popup(globalPos); }

bool DispatchMenuCommand(int command, MenuCommandTarget& target)
{
    using namespace MenuCommand;
    for (int i = 0; i < 4; ++i) {
        if (command == kSave[i]) {
            target.SaveSettingsSet(i + 1);
            return true;
        }
        if (command == kLoad[i]) {
            target.LoadSettingsSet(i + 1);
            return true;
        }
    }
    switch (command) {
    case SchemeDark: target.ApplyColourScheme(1); return true;
    case SchemeGreen: target.ApplyColourScheme(0); return true;
    case SchemeBW: target.ApplyColourScheme(2); return true;
    case DataPath: target.ChooseDataPath(); return true;
    case AutoSetup: target.ToggleAutoSetup(); return true;
    case DefineP0: target.DefineP0(); return true;
    case CopyData: target.ExportView(MenuCommandTarget::Export::CopyData); return true;
    case ExportCsv: target.ExportView(MenuCommandTarget::Export::Csv); return true;
    case ExportPng: target.ExportView(MenuCommandTarget::Export::Png); return true;
    default: return false;
    }
}
