#include "shelloptions.h"

#include "platform/profile.h"

#include <QString>

namespace {
const QString kSection = QStringLiteral("Settings");
}

ShellOptions ReadShellOptions()
{
    ShellOptions options;
    options.colourScheme = Profile::GetInt(kSection, QStringLiteral("colors"), 1);
    options.autoSetup = Profile::GetInt(kSection, QStringLiteral("AutoSetup"), 0) != 0;
    return options;
}

void WriteShellOptions(const ShellOptions& options)
{
    Profile::WriteInt(kSection, QStringLiteral("colors"), options.colourScheme);
    Profile::WriteInt(kSection, QStringLiteral("AutoSetup"), options.autoSetup ? 1 : 0);
}
