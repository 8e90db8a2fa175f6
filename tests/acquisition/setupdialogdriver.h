#pragma once
// Driving a channel setup dialog as a user would: clicks, wheel turns and
// list choices in its table, typing into its text fields.

#include "acquisition/channelsetupdlg.h"

#include <Qt>

class QString;

namespace SetupDialogDriver {
// A left click on a cell (row -1: the header).
void Click(CChannelSetupDlg& dialog, int column, int row, Qt::KeyboardModifiers modifiers = {});
// One wheel notch over a cell, up (away from the user) or down.
void Wheel(CChannelSetupDlg& dialog, int column, int row, bool up);
// Clicks a list cell and picks the entry with that text from the list.
void Choose(CChannelSetupDlg& dialog, int column, int row, const QString& text);
// Clicks a text cell, replaces its text by typing and ends with Escape.
void Type(CChannelSetupDlg& dialog, int column, int row, const QString& text);
// The accept button, clicked.
void Accept(CChannelSetupDlg& dialog);
} // namespace SetupDialogDriver
