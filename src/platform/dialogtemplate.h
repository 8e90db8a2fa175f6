#pragma once
// Dialog templates: a table of controls {id, kind, caption, x, y, w, h} in
// dialog units, instantiated on a widget by one call. Dialog units map to
// pixels with the base units of an 8-point dialog font: x * 6 / 4,
// y * 13 / 8. Controls are found again by id; button clicks reach one
// handler taking the id. UI thread only.
//
//   static const DialogControl kP0[] = {
//       {1100, ControlKind::Edit, "", 37, 15, 40, 14},
//       {IDOK, ControlKind::DefaultButton, "OK", 129, 7, 50, 14},
//   };
//   BuildDialog(this, kP0);
//   auto* edit = ControlAs<QLineEdit>(this, 1100);

#include <QRect>
#include <functional>
#include <span>

class QWidget;

enum class ControlKind {
    Button,        // QPushButton
    DefaultButton, // QPushButton, the dialog's default
    Edit,          // QLineEdit
    Label,         // QLabel, left aligned, word wrap
    CentredLabel,  // QLabel, centred
    GroupBox,      // QGroupBox with its caption
    Frame,         // a plain rectangle only used for its place (invisible)
    CheckBox,      // QCheckBox
    Selector,      // CSelectorButton: made by the factory of the widgets layer
    Toggle,        // CToggleButton: made by the factory of the widgets layer
    Custom,        // made by the caller's factory
};

enum ControlFlags { ControlHidden = 1, ControlDisabled = 2 };

struct DialogControl {
    int id;
    ControlKind kind;
    const char* caption; // UTF-8
    int x, y, w, h; // dialog units
    int flags = 0;
};

// Pixels of a rectangle or a size in dialog units.
QRect DialogUnitsToPixels(int x, int y, int w, int h);
QSize DialogSizeToPixels(int w, int h);

// Makes a control for a table entry, or null to let BuildDialog make one of
// the standard kinds.
using ControlFactory = std::function<QWidget*(const DialogControl& control, QWidget* parent)>;

// Creates every control of the table as a child of dialog, placed in pixels,
// in table order (which is also the tab order). Kinds Selector, Toggle and
// Custom need a factory (CreateWidgetControl of the widgets layer makes the
// first two); without one they are skipped. On a QDialog the buttons with
// ids IDOK (1) and IDCANCEL (2) call accept() and reject().
void BuildDialog(QWidget* dialog, std::span<const DialogControl> controls, const ControlFactory& factory = {});

// The control with that id among the dialog's descendants, or null.
QWidget* ControlById(QWidget* dialog, int id);
template <class T> T* ControlAs(QWidget* dialog, int id) { return qobject_cast<T*>(ControlById(dialog, id)); }
// The id a control was made with, or -1.
int ControlId(const QWidget* control);
// Gives a widget made elsewhere an id, so that ControlById finds it.
void SetControlId(QWidget* control, int id);

// Routes clicks of every button of the dialog that has an id (except IDOK and
// IDCANCEL on a QDialog) to the handler, with the button's id.
void ConnectClicks(QWidget* dialog, const std::function<void(int id)>& handler);
