#pragma once
// Choosing (and if need be creating) a folder, for example the data folder.
// Qt's own file dialog (its widget form, so that it can be steered) shows
// only folders; its file-name field is replaced by a folder field with
// completion and its accept button by "Open", which checks the typed folder
// before the dialog closes.
//
//   QString folder;
//   if (CFolderPicker::Choose(this, Ctx().chosenDataPath, "Folder (*.vrd)|*.vrd||", &folder))
//       Ctx().chosenDataPath = folder;   // absolute, with a trailing '/'
//
// UI thread only.

#include <QFileDialog>

class CFolderEdit;
class QLineEdit;
class QPushButton;

class CFolderPicker : public QFileDialog {
    Q_OBJECT
public:
    static constexpr int kFolderFieldId = 181;
    static constexpr int kOpenButtonId = 182;

    // filter: more list entries after "Show Folders Only", as pairs of
    // description and pattern separated by '|' and ended by "||"; empty gives
    // "All Files (*.*)|*.*||".
    CFolderPicker(const QString& startFolder, const QString& filter, QWidget* parent = nullptr);

    // Shows the picker modally; true with the chosen folder on "Open", false
    // (chosen untouched) on Cancel.
    static bool Choose(QWidget* parent, const QString& startFolder, const QString& filter, QString* chosen);

    // The resulting folder after the dialog closed with OK: absolute, with a
    // trailing '/'.
    QString Folder() const { return m_folder; }

    // Makes path the dialog's current folder; the folder field keeps its
    // text and selection.
    void NavigateTo(const QString& path);
    // The "Open" button: checks the folder field, offers to create a missing
    // folder, and closes with OK when the folder is there.
    void ValidateFolder();

    CFolderEdit* FolderField() const { return m_field; }
    QPushButton* OpenButton() const { return m_open; }

    // The name filters the list offers for a caller's filter text.
    static QStringList NameFilters(const QString& filter);

    // Qt's file dialog calls this when a file is opened from the list: the
    // picker checks the folder field instead.
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Outcome { Exists, Created, Refused };

    void OnFolderChange(const QString& folder);
    void OnEnter();
    void OnEdited(bool completion);
    void Complete();
    // The folder field's text as an absolute path ("~" is the home folder).
    QString Resolve(const QString& text) const;
    // Checks the folder and offers to create it; shows the message and
    // returns Refused when it cannot be used.
    Outcome Check(const QString& text, const QString& path, bool fromFolderField);
    void Message(const QString& text, const QString& typed);
    void CloseWith(const QString& path);

    QLineEdit* m_fileName = nullptr; // the dialog's own controls, kept hidden
    QPushButton* m_ok = nullptr;
    CFolderEdit* m_field = nullptr;
    QPushButton* m_open = nullptr;
    QString m_folder;
};
