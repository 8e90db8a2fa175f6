// The main menu's items and command numbers, and the command dispatch.
#include "shell/mainmenu.h"

#include <QAction>
#include <QMenu>
#include <QSignalSpy>
#include <QWidget>
#include <gtest/gtest.h>
#include <vector>

namespace {

struct RecordingTarget : MenuCommandTarget {
    std::vector<std::pair<std::string, int>> calls;
    void SaveSettingsSet(int set) override { calls.push_back({"save", set}); }
    void LoadSettingsSet(int set) override { calls.push_back({"load", set}); }
    void ApplyColourScheme(int scheme) override { calls.push_back({"scheme", scheme}); }
    void ToggleAutoSetup() override { calls.push_back({"auto", 0}); }
    void ChooseDataPath() override { calls.push_back({"path", 0}); }
    void DefineP0() override { calls.push_back({"p0", 0}); }
    void ExportView(Export what) override { calls.push_back({"export", int(what)}); }
};

QStringList Texts(const QList<QAction*>& actions)
{
    QStringList texts;
    for (QAction* action : actions)
        texts << action->text();
    return texts;
}

} // namespace

TEST(MainMenu, ItemsCarryTheirCommandNumbers)
{
    QWidget owner;
    CMainMenu menu(&owner);
    EXPECT_EQ(Texts(menu.Menu()->actions()),
              QStringList({"Save Settings", "Load Settings", "Colorscheme Dark", "Colorscheme Green", "Colorscheme BW",
                           "Check for Update", "Datapath", "Auto Setup", "p0 for Log calculation", "",
                           "Copy data", "Export CSV…", "Export PNG…"}));
    const std::pair<int, const char*> top[] = {{32773, "Colorscheme Dark"}, {32774, "Colorscheme Green"},
                                               {32775, "Colorscheme BW"},   {32776, "Check for Update"},
                                               {32777, "Datapath"},         {32778, "Auto Setup"},
                                               {32787, "p0 for Log calculation"}};
    for (auto [command, text] : top) {
        ASSERT_NE(menu.Action(command), nullptr) << command;
        EXPECT_EQ(menu.Action(command)->text(), text);
    }
    QMenu* save = menu.Menu()->actions()[0]->menu();
    QMenu* load = menu.Menu()->actions()[1]->menu();
    ASSERT_TRUE(save && load);
    const int saveNumbers[] = {32771, 32784, 32785, 32786};
    const int loadNumbers[] = {32772, 32781, 32782, 32783};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(save->actions()[i]->data().toInt(), saveNumbers[i]);
        EXPECT_EQ(load->actions()[i]->data().toInt(), loadNumbers[i]);
        EXPECT_EQ(save->actions()[i]->text(), QStringLiteral("S%1").arg(i + 1));
    }
}

TEST(MainMenu, SetNamesCheckMarkAndTheDisabledUpdateItem)
{
    QWidget owner;
    CMainMenu menu(&owner);
    QSignalSpy chosen(&menu, &CMainMenu::CommandChosen);
    menu.Update({QStringLiteral("Motor"), QString(), QStringLiteral("Fan"), QStringLiteral("x")}, true);
    EXPECT_EQ(menu.Action(32771)->text(), "s1 Motor");
    EXPECT_EQ(menu.Action(32772)->text(), "s1 Motor");
    EXPECT_EQ(menu.Action(32784)->text(), "s2 ");
    EXPECT_EQ(menu.Action(32782)->text(), "s3 Fan");
    EXPECT_EQ(menu.Action(32786)->text(), "s4 x");
    EXPECT_TRUE(menu.Action(32778)->isCheckable());
    EXPECT_TRUE(menu.Action(32778)->isChecked());
    menu.Update({}, false);
    EXPECT_FALSE(menu.Action(32778)->isChecked());

    EXPECT_FALSE(menu.Action(32776)->isEnabled());
    EXPECT_FALSE(menu.Trigger(32776));
    EXPECT_EQ(chosen.count(), 0);
    EXPECT_TRUE(menu.Trigger(32785));
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen[0][0].toInt(), 32785);
}

TEST(MainMenu, DispatchMapsCommandsToActions)
{
    RecordingTarget target;
    for (int command : {32771, 32784, 32785, 32786, 32772, 32781, 32782, 32783, 32773, 32774, 32775, 32777, 32778, 32787,
                        32791, 32792, 32793})
        EXPECT_TRUE(DispatchMenuCommand(command, target)) << command;
    EXPECT_FALSE(DispatchMenuCommand(32776, target));
    EXPECT_FALSE(DispatchMenuCommand(0, target));
    std::vector<std::pair<std::string, int>> expected = {
        {"save", 1}, {"save", 2}, {"save", 3}, {"save", 4}, {"load", 1},   {"load", 2}, {"load", 3},
        {"load", 4}, {"scheme", 1}, {"scheme", 0}, {"scheme", 2}, {"path", 0}, {"auto", 0}, {"p0", 0},
        {"export", 0}, {"export", 1}, {"export", 2}};
    EXPECT_EQ(target.calls, expected);
}
