#pragma once
// The main window's two persisted options, section "Settings": "colors" (the
// colour scheme, 0 Green, 1 Dark, 2 BW; 1 when absent) and "AutoSetup" (any
// non-zero value is on; off when absent). Read at construction of the main
// window, written when it is deleted. UI thread only.

struct ShellOptions {
    int colourScheme = 1;
    bool autoSetup = false;
    bool operator==(const ShellOptions&) const = default;
};

ShellOptions ReadShellOptions();
void WriteShellOptions(const ShellOptions& options);
