#include "folderpicker.h"

#include "folders/folderchecks.h"
#include "folders/folderedit.h"
#include "platform/messagebox.h"

#include <QDialogButtonBox>
#include <QEvent>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace {

const char* const kDefaultFilter = "All Files (*.*)|*.*||";

QString WithSlash(const QString& path) { return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/'); }

} // namespace

CFolderPicker::CFolderPicker(const QString& startFolder, const QString& filter, QWidget* parent)
    : QFileDialog(parent, QStringLiteral("Select Folder"))
{
    setOption(QFileDialog::DontUseNativeDialog);
    setOption(QFileDialog::HideNameFilterDetails);
    setAcceptMode(QFileDialog::AcceptOpen);
    setFileMode(QFileDialog::AnyFile);
    setViewMode(QFileDialog::List);
    setNameFilters(NameFilters(filter));
    setLabelText(QFileDialog::FileName, QStringLiteral("Folder:"));
    if (!startFolder.isEmpty())
        setDirectory(Resolve(startFolder));

    auto* fileName = m_fileName = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    auto* buttons = findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));

    m_field = new CFolderEdit(this);
    m_field->setObjectName(QStringLiteral("folderEdit"));
    m_field->setProperty("controlId", kFolderFieldId);
    m_field->setText(startFolder);
    m_open = new QPushButton(QStringLiteral("Open"), this);
    m_open->setObjectName(QStringLiteral("openButton"));
    m_open->setProperty("controlId", kOpenButtonId);
    m_open->setDefault(true);

    if (fileName) {
        m_field->setFont(fileName->font());
        // The layout hands back the item that held the old field; the
        // field itself stays ours (hidden, still watched below).
        if (layout())
            delete layout()->replaceWidget(fileName, m_field);
        fileName->hide();
        fileName->installEventFilter(this);
        if (auto* label = findChild<QLabel*>(QStringLiteral("fileNameLabel")))
            label->setBuddy(m_field);
    }
    QPushButton* cancel = nullptr;
    if (buttons) {
        m_open->setFont(buttons->font());
        // Not in the box's accept role: the box would call accept() as well.
        buttons->addButton(m_open, QDialogButtonBox::ActionRole);
        if ((m_ok = buttons->button(QDialogButtonBox::Open))) {
            m_ok->hide();
            m_ok->installEventFilter(this);
        }
        cancel = buttons->button(QDialogButtonBox::Cancel);
    }
    setTabOrder(m_field, m_open);
    if (cancel)
        setTabOrder(m_open, cancel);

    connect(m_open, &QPushButton::clicked, this, &CFolderPicker::ValidateFolder);
    // The dialog's model changes its root on every change of folder, also
    // for Back, Forward and the "Look in" list, which emit no signal of the
    // dialog's own.
    if (auto* model = findChild<QFileSystemModel*>())
        connect(model, &QFileSystemModel::rootPathChanged, this, &CFolderPicker::OnFolderChange);
    else
        connect(this, &QFileDialog::directoryEntered, this, &CFolderPicker::OnFolderChange);
    connect(m_field, &CFolderEdit::TabPressed, m_open, [this] { m_open->setFocus(Qt::TabFocusReason); });
    connect(m_field, &CFolderEdit::EnterPressed, this, &CFolderPicker::OnEnter);
    connect(m_field, &CFolderEdit::DeletePressed, this, [this] { OnEdited(false); });
    connect(m_field, &CFolderEdit::CharacterTyped, this, [this](bool backspace) { OnEdited(!backspace); });
    m_field->setFocus();
}

bool CFolderPicker::Choose(QWidget* parent, const QString& startFolder, const QString& filter, QString* chosen)
{
    CFolderPicker picker(startFolder, filter, parent);
    if (picker.exec() != QDialog::Accepted)
        return false;
    if (chosen)
        *chosen = picker.Folder();
    return true;
}

QStringList CFolderPicker::NameFilters(const QString& filter)
{
    QString text = QStringLiteral("Show Folders Only|.|") + (filter.isEmpty() ? QString(kDefaultFilter) : filter);
    QStringList parts = text.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty())
            break;
        // The dialog reads the patterns from the last parentheses and, with
        // the details hidden, shows the description as given.
        filters << parts[i] + QStringLiteral(" (") + parts[i + 1].split(QLatin1Char(';')).join(QLatin1Char(' ')) +
                       QLatin1Char(')');
    }
    return filters;
}

QString CFolderPicker::Resolve(const QString& text) const
{
    QString path = text;
    if (path == QLatin1String("~") || path.startsWith(QLatin1String("~/")))
        path = QDir::homePath() + path.mid(1);
    if (QDir::isRelativePath(path))
        path = directory().absoluteFilePath(path);
    return QDir::cleanPath(path);
}

void CFolderPicker::NavigateTo(const QString& path)
{
    QString text = m_field->text();
    int start = m_field->selectionStart();
    int length = m_field->selectedText().size();
    int cursor = m_field->cursorPosition();
    QString target = Resolve(path);
    if (QDir::cleanPath(directory().absolutePath()) != target && QFileInfo(target).isDir())
        setDirectory(target);
    m_field->setText(text);
    if (start >= 0 && length > 0)
        m_field->setSelection(start, length);
    else
        m_field->setCursorPosition(cursor);
}

void CFolderPicker::OnFolderChange(const QString& folder)
{
    m_field->setText(WithSlash(folder));
    m_field->end(false);
    m_field->setFocus();
}

void CFolderPicker::Message(const QString& text, const QString& typed)
{
    ShowMessageBox(this, text.startsWith(QLatin1Char('\n')) ? typed + text : text, QString(), MsgIcon::Warning);
    m_field->setFocus();
}

CFolderPicker::Outcome CFolderPicker::Check(const QString& text, const QString& path, bool fromFolderField)
{
    switch (CFolderChecks::Examine(path)) {
    case CFolderChecks::State::Directory: return Outcome::Exists;
    case CFolderChecks::State::File: Message(QStringLiteral("\nThis is a file not a directory."), text); return Outcome::Refused;
    case CFolderChecks::State::NotValid: Message(QStringLiteral("\nThis is not a valid folder."), text); return Outcome::Refused;
    case CFolderChecks::State::DriveInvalid: Message(QStringLiteral("\nThe drive is invalid."), text); return Outcome::Refused;
    case CFolderChecks::State::Missing: break;
    }
    int answer = ShowMessageBox(this, text + QStringLiteral("\nThis folder does not exist.\n\nDo you want to create it?"),
                                QString(), MsgIcon::Question, MB_YESNO);
    if (answer != IDYES) {
        m_field->setFocus();
        return Outcome::Refused;
    }
    int error = CFolderChecks::CreatePath(WithSlash(path));
    if (error != 0) {
        Message(CFolderChecks::CreateFailureText(error, CFolderChecks::MediumOf(path), fromFolderField), text);
        return Outcome::Refused;
    }
    return Outcome::Created;
}

void CFolderPicker::CloseWith(const QString& path)
{
    NavigateTo(path);
    m_folder = WithSlash(QDir::cleanPath(path));
    QDialog::accept();
}

void CFolderPicker::ValidateFolder()
{
    QString text = m_field->text();
    if (text.isEmpty() || text == QLatin1String("/")) {
        CloseWith(text.isEmpty() ? directory().absolutePath() : text);
        return;
    }
    QString path = Resolve(text);
    if (Check(text, path, false) != Outcome::Refused)
        CloseWith(path);
}

void CFolderPicker::accept() { ValidateFolder(); }

void CFolderPicker::showEvent(QShowEvent* event)
{
    QFileDialog::showEvent(event);
    m_field->setFocus();
}

bool CFolderPicker::eventFilter(QObject* watched, QEvent* event)
{
    // The dialog and its button box show their own controls again on some
    // changes.
    if ((watched == m_fileName || watched == m_ok) && event->type() == QEvent::Show)
        QMetaObject::invokeMethod(static_cast<QWidget*>(watched), &QWidget::hide, Qt::QueuedConnection);
    return QFileDialog::eventFilter(watched, event);
}

void CFolderPicker::OnEnter()
{
    QString text = m_field->text();
    if (text.size() > 1 && text.endsWith(QLatin1Char('/')))
        text.chop(1);
    if (text.isEmpty())
        return;
    QString path = Resolve(text);
    if (text != QLatin1String("/") && Check(text, path, true) == Outcome::Refused)
        return;
    NavigateTo(path);
    m_field->setText(WithSlash(text));
    m_field->end(false);
    m_field->setFocus();
}

void CFolderPicker::OnEdited(bool completion)
{
    QString text = m_field->text();
    if (text.endsWith(QLatin1Char('/')) && CFolderChecks::Examine(Resolve(text)) == CFolderChecks::State::Directory)
        NavigateTo(text);
    if (completion && m_field->cursorPosition() == m_field->text().size() && !m_field->hasSelectedText())
        Complete();
}

void CFolderPicker::Complete()
{
    QString text = m_field->text();
    int slash = text.lastIndexOf(QLatin1Char('/'));
    QString prefix = text.mid(slash + 1);
    QDir folder(slash < 0 ? directory() : QDir(Resolve(text.left(slash + 1))));
    QDir::Filters filters = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System;
    if (prefix.startsWith(QLatin1Char('.')))
        filters |= QDir::Hidden;
    QString match;
    int directories = 0;
    // Matched here, not by the listing's name filter: that one ignores case
    // and reads '[' and '?' as patterns.
    const QFileInfoList entries = folder.entryInfoList(filters, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (!entry.fileName().startsWith(prefix) || !entry.isDir())
            continue;
        match = entry.fileName();
        ++directories;
    }
    if (directories != 1 || match.size() == prefix.size())
        return;
    QString rest = match.mid(prefix.size());
    m_field->setText(text + rest);
    m_field->setSelection(text.size(), rest.size());
}
