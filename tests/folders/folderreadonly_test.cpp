// Creating a folder on a read-only file system. The test mounts one in a
// mount namespace of its own (needs the right to do so; skipped otherwise).
#include "pickerfixture.h"

#include <sched.h>
#include <sys/mount.h>

namespace {

class ReadOnlyPickerTest : public PickerTest {
protected:
    void SetUp() override
    {
        PickerTest::SetUp();
        m_mount = m_root + "/ro";
        QDir().mkpath(m_mount);
        if (unshare(CLONE_NEWNS) != 0)
            GTEST_SKIP() << "no mount namespace";
        // Keep the mount inside this namespace.
        if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("krvtest", m_mount.toLocal8Bit().constData(), "tmpfs", MS_RDONLY, nullptr) != 0)
            GTEST_SKIP() << "cannot mount a read-only file system";
        m_mounted = true;
    }
    void TearDown() override
    {
        if (m_mounted)
            umount(m_mount.toLocal8Bit().constData());
    }

    QString m_mount;
    bool m_mounted = false;
};

} // namespace

TEST_F(ReadOnlyPickerTest, ReadOnlyMediumGivesTheWriteProtectedMessage)
{
    QString typed = m_mount + "/new/folder";
    Field()->setText(typed);
    ClickOpen(); // Yes to creating it
    ASSERT_EQ(m_boxes.Boxes().size(), 2u);
    EXPECT_EQ(m_boxes.Boxes()[1].text, "You cannot create this folder.\nThe medium may be write-protected.");
    EXPECT_TRUE(m_picker->isVisible());
    EXPECT_TRUE(Field()->hasFocus());

    m_boxes.Clear();
    QTest::keyClick(Field(), Qt::Key_Return);
    ASSERT_EQ(m_boxes.Boxes().size(), 2u);
    EXPECT_EQ(m_boxes.Boxes()[1].text, "You cannot create this folder.\nThe medium may be write-protected.");
    EXPECT_EQ(Field()->text(), typed);
}
