// The main bar's "Rec" lamp and the box that tells of a recording stopped
// by a full file system (a real one, mounted for the test).
#include "acquisition/hwmanager.h"
#include "acquisition/recordfile.h"
#include "context/analysisrecord.h"
#include "context/appcontext.h"
#include "panels/controlbar.h"
#include "platform/messagebox.h"
#include "support/smallfilesystem.h"
#include "support/stubmainframe.h"
#include "support/testenvironment.h"
#include "widgets/togglebutton.h"

#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace {
void FillUntilStopped(CRecordFile& file)
{
    for (int j = 0; j < 10000000 && file.IsRecording(); ++j)
        for (int c = 0; c < 2; ++c)
            file.AppendValue(c, float(j));
}

class ControlBarRecordingTest : public testing::Test {
protected:
    void SetUp() override
    {
        ResetContext();
        m_frame.hardware = &m_hardware;
        m_disk = std::make_unique<SmallFileSystem>(m_env.Root() + "/disk", 64 * 1024);
        if (!m_disk->Mounted())
            GTEST_SKIP() << m_disk->Reason();
        Ctx().chosenDataPath = QString::fromStdString(m_disk->Folder());
        CRecordFile& file = m_hardware.RecordFile();
        ASSERT_TRUE(file.Prepare(2, 1000));
        file.DefineChannel(0, 0, "a", "V", 1e-4);
        file.DefineChannel(1, 1, "b", "V", 1e-4);
        m_bar = std::make_unique<CControlBar>(&m_frame, &m_frame.window);
        m_rec = m_bar->Control(CControlBar::IdRec);
    }
    void TearDown() override
    {
        m_bar.reset();
        ResetContext();
    }

    TestEnvironment m_env;
    std::unique_ptr<SmallFileSystem> m_disk;
    CHwManager m_hardware;
    StubMainFrame m_frame;
    std::unique_ptr<CControlBar> m_bar;
    CToggleButton* m_rec = nullptr;
    MessageBoxRecorder m_boxes;
};

TEST_F(ControlBarRecordingTest, FullDiskSwitchesTheLampOffAndNamesFileAndError)
{
    CRecordFile& file = m_hardware.RecordFile();
    QTest::mouseClick(m_rec, Qt::LeftButton);
    ASSERT_TRUE(file.IsRecording());
    EXPECT_TRUE(m_rec->State());
    EXPECT_EQ(m_frame.record.recording, 1);
    const QString path = file.FilePath();

    FillUntilStopped(file);
    ASSERT_FALSE(file.IsRecording());
    EXPECT_TRUE(m_boxes.Boxes().empty()) << "the box waits for the user-interface tick";
    m_bar->BlinkRecord();
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    const MessageBoxRecorder::Box& box = m_boxes.Boxes()[0];
    EXPECT_TRUE(box.text.startsWith("Recording stopped: writing " + path + " failed (" +
                                    QString::fromLocal8Bit(std::strerror(ENOSPC)) + ")."))
        << box.text.toStdString();
    EXPECT_EQ(box.icon, MsgIcon::Warning);
    EXPECT_FALSE(m_rec->State());
    EXPECT_EQ(m_frame.record.recording, 0);

    // Told once; the lamp stays off.
    for (int i = 0; i < 3; ++i)
        m_bar->BlinkRecord();
    EXPECT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_FALSE(m_rec->State());
}

TEST_F(ControlBarRecordingTest, RecPressedAfterAFailureTellsItInsteadOfStartingAnew)
{
    CRecordFile& file = m_hardware.RecordFile();
    QTest::mouseClick(m_rec, Qt::LeftButton);
    ASSERT_TRUE(file.IsRecording());
    const QString path = file.FilePath();
    FillUntilStopped(file);
    QTest::mouseClick(m_rec, Qt::LeftButton);
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_TRUE(m_boxes.Boxes()[0].text.contains(path));
    EXPECT_FALSE(file.IsRecording());
    EXPECT_EQ(file.FilePath(), path);
    EXPECT_FALSE(m_rec->State());
    EXPECT_EQ(m_frame.record.recording, 0);
}
} // namespace
