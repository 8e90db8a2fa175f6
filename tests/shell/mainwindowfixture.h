#pragma once
// A real main window in a private test world: profile, program and data
// folders, and a normal (not maximised) placement, so that a test sizes the
// window itself. Message boxes and modal dialogs are recorded, not shown.

#include "context/appcontext.h"
#include "platform/companionbus.h"
#include "platform/messagebox.h"
#include "platform/modaldialog.h"
#include "platform/profile.h"
#include "shell/wndkrv.h"
#include "support/testenvironment.h"

#include <QApplication>
#include <gtest/gtest.h>
#include <memory>

class MainWindowFixture : public testing::Test {
protected:
    void SetUp() override
    {
        ResetContext();
        Profile::SetProgramName(QStringLiteral("krv"));
        Ctx().programDirectory = QString::fromStdString(m_env.ProgramDir());
        Ctx().dataDirectory = Ctx().programDirectory + QStringLiteral("data");
        Ctx().companionMessage = CompanionBus::Instance().RegisterMessage(QStringLiteral("Ostrane"));
        Profile::WriteString("Window size", "Rechteck", "0050 0050 0850 0750");
        Profile::WriteInt("Window size", "maximized", 0);
    }

    // The window at the client size given, shown and laid out.
    std::unique_ptr<CWndKRV> MakeWindow(int width, int height)
    {
        auto window = std::make_unique<CWndKRV>();
        window->Create();
        QApplication::processEvents(); // the placement request
        window->showNormal();
        window->resize(width, height);
        QApplication::processEvents();
        return window;
    }

    TestEnvironment m_env;
    MessageBoxRecorder m_boxes;
    DialogRecorder m_dialogs;
};
