#pragma once
// The factory that lets dialog templates hold the owner-drawn widgets:
// pass CreateWidgetControl to BuildDialog.

#include "platform/dialogtemplate.h"

// CSelectorButton for ControlKind::Selector, CToggleButton for
// ControlKind::Toggle (the table's caption is the label), null otherwise.
QWidget* CreateWidgetControl(const DialogControl& control, QWidget* parent);
