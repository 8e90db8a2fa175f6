// The folder picker driven offscreen with real key and mouse events.
#include "pickerfixture.h"
#include "support/waituntil.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListView>
#include <QTimer>
#include <QToolButton>

TEST_F(PickerTest, ShowsTheFolderFieldAndOpenInPlaceOfTheFileControls)
{
    EXPECT_EQ(m_picker->windowTitle(), "Select Folder");
    EXPECT_EQ(Field()->text(), m_root);
    EXPECT_EQ(Field()->property("controlId").toInt(), 181);
    EXPECT_EQ(m_picker->OpenButton()->property("controlId").toInt(), 182);
    EXPECT_EQ(m_picker->OpenButton()->text(), "Open");
    EXPECT_TRUE(Field()->isVisible());
    EXPECT_FALSE(m_picker->findChild<QLineEdit*>("fileNameEdit")->isVisible());
    auto* box = m_picker->findChild<QDialogButtonBox*>("buttonBox");
    EXPECT_FALSE(box->button(QDialogButtonBox::Open)->isVisible());
    EXPECT_EQ(m_picker->findChild<QLabel*>("fileNameLabel")->text(), "Folder:");
    auto* types = m_picker->findChild<QComboBox*>("fileTypeCombo");
    ASSERT_EQ(types->count(), 2);
    EXPECT_EQ(types->itemText(0), "Show Folders Only");
    EXPECT_EQ(types->itemText(1), "Folder (*.vrd)");

    QTest::keyClick(Field(), Qt::Key_Tab);
    EXPECT_TRUE(m_picker->OpenButton()->hasFocus());
    QTest::keyClick(m_picker->OpenButton(), Qt::Key_Tab);
    EXPECT_TRUE(box->button(QDialogButtonBox::Cancel)->hasFocus());
}

TEST_F(PickerTest, ListsOnlyFolders)
{
    auto* list = m_picker->findChild<QListView*>("listView");
    QAbstractItemModel* model = list->model();
    EXPECT_TRUE(WaitUntil([&] { return model->rowCount(list->rootIndex()) >= 3; }));
    QStringList names;
    for (int row = 0; row < model->rowCount(list->rootIndex()); ++row)
        names << model->index(row, 0, list->rootIndex()).data().toString();
    names.sort();
    EXPECT_EQ(names, (QStringList{"alpha", "alps", "data"}));
}

TEST_F(PickerTest, ExistingFolderAndOpenClosesWithTheFolder)
{
    Type(m_root + "/data");
    ClickOpen();
    EXPECT_TRUE(Accepted());
    EXPECT_EQ(m_picker->Folder(), m_root + "/data/");
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(PickerTest, RelativeAndEmptyTextsMeanTheCurrentFolder)
{
    Field()->setText("alpha/");
    ClickOpen();
    EXPECT_TRUE(Accepted());
    EXPECT_EQ(m_picker->Folder(), m_root + "/alpha/");

    Open(m_root);
    Field()->clear();
    ClickOpen();
    EXPECT_TRUE(Accepted());
    EXPECT_EQ(m_picker->Folder(), m_root + "/");
}

TEST_F(PickerTest, NewFolderAnsweredNoStaysOpenWithTheText)
{
    QString typed = m_root + "/new/deeper";
    Type(typed);
    m_boxes.QueueAnswer(IDNO);
    ClickOpen();
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(m_boxes.Boxes()[0].text, typed + "\nThis folder does not exist.\n\nDo you want to create it?");
    EXPECT_EQ(m_boxes.Boxes()[0].buttons, MB_YESNO);
    EXPECT_TRUE(m_picker->isVisible());
    EXPECT_EQ(Field()->text(), typed);
    EXPECT_TRUE(Field()->hasFocus());
    EXPECT_FALSE(QDir(m_root + "/new").exists());
}

TEST_F(PickerTest, NewFolderAnsweredYesIsCreatedWithItsParents)
{
    QString typed = m_root + "/new/deeper/leaf/";
    Field()->setText(typed);
    ClickOpen(); // the recorder answers Yes
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_TRUE(QDir(m_root + "/new/deeper/leaf").exists());
    EXPECT_TRUE(Accepted());
    EXPECT_EQ(m_picker->Folder(), m_root + "/new/deeper/leaf/");
}

TEST_F(PickerTest, FilesAndImpossiblePathsAreRefusedWithTheTextInFront)
{
    struct Case {
        QString typed, message;
    } cases[] = {
        {m_root + "/file.txt", "\nThis is a file not a directory."},
        {m_root + "/file.txt/", "\nThis is a file not a directory."},
        {m_root + "/file.txt/sub", "\nThis is not a valid folder."},
    };
    for (const Case& c : cases) {
        m_boxes.Clear();
        Field()->setText(c.typed);
        ClickOpen();
        ASSERT_EQ(m_boxes.Boxes().size(), 1u) << c.typed.toStdString();
        EXPECT_EQ(m_boxes.Boxes()[0].text, c.typed + c.message);
        EXPECT_TRUE(m_picker->isVisible());
        EXPECT_TRUE(Field()->hasFocus());
    }
}

TEST_F(PickerTest, TheOnlyMatchingSubfolderIsCompletedAndSelected)
{
    Type(m_root + "/d"); // "data" and the file "dolphin.txt" start with d
    EXPECT_EQ(Field()->text(), m_root + "/data");
    EXPECT_EQ(Field()->selectedText(), "ata");
    QTest::keyClicks(Field(), "a"); // typing on replaces the completed part
    EXPECT_EQ(Field()->text(), m_root + "/data");
    EXPECT_EQ(Field()->selectedText(), "ta");

    Type(m_root + "/al"); // alpha and alps
    EXPECT_EQ(Field()->text(), m_root + "/al");
    EXPECT_FALSE(Field()->hasSelectedText());

    Type(m_root + "/D");
    EXPECT_EQ(Field()->text(), m_root + "/D") << "names are told apart by case";

    Type(m_root + "/dat");
    EXPECT_EQ(Field()->selectedText(), "a");
    QTest::keyClick(Field(), Qt::Key_Backspace); // removes the completed part
    QTest::keyClick(Field(), Qt::Key_Backspace);
    EXPECT_EQ(Field()->text(), m_root + "/da") << "Backspace completes nothing";
    EXPECT_FALSE(Field()->hasSelectedText());
}

TEST_F(PickerTest, TypingAFolderWithSlashNavigatesThere)
{
    Type(m_root + "/alpha/");
    EXPECT_EQ(QDir::cleanPath(m_picker->directory().absolutePath()), m_root + "/alpha");
    EXPECT_EQ(Field()->text(), m_root + "/alpha/") << "the field keeps what was typed";
}

TEST_F(PickerTest, EnterNavigatesOrOffersCreationWithoutClosing)
{
    Field()->setText(m_root + "/data/");
    QTest::keyClick(Field(), Qt::Key_Return);
    EXPECT_TRUE(m_picker->isVisible());
    EXPECT_EQ(QDir::cleanPath(m_picker->directory().absolutePath()), m_root + "/data");
    EXPECT_EQ(Field()->text(), m_root + "/data/");
    EXPECT_EQ(Field()->cursorPosition(), Field()->text().size());

    m_boxes.QueueAnswer(IDNO);
    Field()->setText(m_root + "/fresh");
    QTest::keyClick(Field(), Qt::Key_Enter);
    EXPECT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_FALSE(QDir(m_root + "/fresh").exists());
    EXPECT_EQ(Field()->text(), m_root + "/fresh");

    QTest::keyClick(Field(), Qt::Key_Return); // answered Yes
    EXPECT_TRUE(QDir(m_root + "/fresh").exists());
    EXPECT_EQ(QDir::cleanPath(m_picker->directory().absolutePath()), m_root + "/fresh");
    EXPECT_EQ(Field()->text(), m_root + "/fresh/");
    EXPECT_TRUE(m_picker->isVisible());
}

TEST_F(PickerTest, EveryFolderChangeFillsTheField)
{
    Field()->setText(m_root + "/alps/");
    QTest::keyClick(Field(), Qt::Key_Return);
    m_picker->OpenButton()->setFocus();
    QTest::mouseClick(m_picker->findChild<QToolButton*>("toParentButton"), Qt::LeftButton);
    EXPECT_EQ(Field()->text(), m_root + "/");
    EXPECT_EQ(Field()->cursorPosition(), Field()->text().size());
    EXPECT_TRUE(Field()->hasFocus());
    QTest::mouseClick(m_picker->findChild<QToolButton*>("backButton"), Qt::LeftButton);
    EXPECT_EQ(Field()->text(), m_root + "/alps/");
}

TEST_F(PickerTest, ChooseReturnsTheFolderOrNothingOnCancel)
{
    m_picker.reset();
    QString chosen = "untouched";
    QTimer::singleShot(0, [this] {
        auto* picker = qobject_cast<CFolderPicker*>(QApplication::activeModalWidget());
        ASSERT_NE(picker, nullptr);
        picker->FolderField()->setText(m_root + "/alps");
        QTest::mouseClick(picker->OpenButton(), Qt::LeftButton);
    });
    EXPECT_TRUE(CFolderPicker::Choose(nullptr, m_root, QString(), &chosen));
    EXPECT_EQ(chosen, m_root + "/alps/");

    chosen = "untouched";
    QTimer::singleShot(0, [] {
        if (QWidget* picker = QApplication::activeModalWidget())
            qobject_cast<QDialog*>(picker)->reject();
    });
    EXPECT_FALSE(CFolderPicker::Choose(nullptr, m_root, QString(), &chosen));
    EXPECT_EQ(chosen, "untouched");
}

TEST(FolderPickerFilters, ShowFoldersOnlyComesFirst)
{
    EXPECT_EQ(CFolderPicker::NameFilters("Folder (*.vrd)|*.vrd||"),
              (QStringList{"Show Folders Only (.)", "Folder (*.vrd) (*.vrd)"}));
    EXPECT_EQ(CFolderPicker::NameFilters(""), (QStringList{"Show Folders Only (.)", "All Files (*.*) (*.*)"}));
    EXPECT_EQ(CFolderPicker::NameFilters("Recordings|*.vrd;*.wav||"),
              (QStringList{"Show Folders Only (.)", "Recordings (*.vrd *.wav)"}));
}
