// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandLineAnswer.h"

#include "TavimorVersion.h"

namespace tavimor {

std::optional<QString> commandLineAnswer(const QStringList& arguments) {
    if (arguments.size() != 1)
        return std::nullopt;
    const QString& argument = arguments.first();
    if (argument == QLatin1String("--version"))
        return QStringLiteral("tavimor " TAVIMOR_VERSION "\n");
    if (argument != QLatin1String("--help") && argument != QLatin1String("-h"))
        return std::nullopt;
    return QStringLiteral(
        "Usage: tavimor [FILE.rds]\n"
        "\n"
        "Switches the policy restrictions of a Windows registry on and off, in a window.\n"
        "\n"
        "  FILE.rds     open this settings file instead of the default tavimor.rds\n"
        "  -h, --help   this text\n"
        "  --version    the version\n"
        "\n"
        "Environment:\n"
        "  TAVIMOR_TARGET   the registry to work on: file:PATH, wine:PREFIX, wine: (the default\n"
        "                   Wine prefix) or memory:; default: the per-user registry file\n"
        "  XDG_STATE_HOME   errors.log is written to its tavimor folder (default:\n"
        "                   ~/.local/state/tavimor)\n"
        "\n"
        "The read-only program files (tavimor.rds, Resources/, help/, tavimor.xsl) are found\n"
        "beside the executable, or in ../share/tavimor beside an installed one.\n"
        "tavimorctl does the same work from a terminal.\n");
}

} // namespace tavimor
