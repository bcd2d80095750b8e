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
        "Usage: tavimor [--target TARGET] [FILE.rds]\n"
        "\n"
        "Switches Windows policy restrictions on and off, in a window.\n"
        "\n"
        "  --target TARGET  the registry to work on (default: TAVIMOR_TARGET, else the\n"
        "                   embedded registry); File > Open Registry opens another one\n"
        "  FILE.rds         open this settings file instead of the default tavimor.rds\n"
        "  -h, --help       this text\n"
        "  --version        the version\n"
        "\n"
        "Targets:\n"
        "  file:PATH                a registry file in the REGEDIT4 text format\n"
        "  wine:PREFIX              the registry of a Wine prefix; wine: alone is\n"
        "                           $WINEPREFIX, else ~/.wine\n"
        "  hive:NTUSER.DAT[,SOFTWARE[,SYSTEM]]\n"
        "                           hive files of a Windows that is not running; any may\n"
        "                           be left empty\n"
        "  windows:ROOT[?user=NAME] the same, found in a mounted Windows folder, with its\n"
        "                           own Group Policy files\n"
        "  win9x:FOLDER             the WINDOWS folder of a Windows 95/98/Me disk, read-only\n"
        "  pol:DIR                  a folder of Group Policy files (User/Registry.pol,\n"
        "                           Machine/Registry.pol)\n"
        "  gpo:SYSVOL?gpo=NAME|GUID[&url=URL]\n"
        "                           a Group Policy object in a domain's SYSVOL folder,\n"
        "                           its directory found beside it or at URL\n"
        "  memory:                  a registry in memory, gone at exit\n"
        "\n"
        "Environment:\n"
        "  TAVIMOR_TARGET   the registry to work on when --target is not given\n"
        "  XDG_STATE_HOME   errors.log is written to its tavimor folder (default:\n"
        "                   ~/.local/state/tavimor)\n"
        "\n"
        "The embedded registry is ~/.local/share/tavimor/registry.reg. The read-only program\n"
        "files (tavimor.rds, Resources/, help/, tavimor.xsl) are found beside the executable,\n"
        "or in ../share/tavimor beside an installed one. tavimorctl does the same work from a\n"
        "terminal.\n");
}

WindowArguments parseWindowArguments(const QStringList& arguments) {
    WindowArguments parsed;
    QStringList rest;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        std::optional<QString> target;
        if (argument == QLatin1String("--target")) {
            if (i + 1 == arguments.size()) {
                parsed.error =
                    QStringLiteral("tavimor: --target needs a TARGET (tavimor --help lists them)\n");
                return parsed;
            }
            target = arguments[++i];
        } else if (argument.startsWith(QLatin1String("--target="))) {
            target = argument.mid(9);
        } else {
            rest.append(argument);
            continue;
        }
        if (parsed.target) {
            parsed.error = QStringLiteral("tavimor: --target is given twice\n");
            return parsed;
        }
        parsed.target = target;
    }
    parsed.settingsFile = rest.join(QLatin1Char(' '));
    return parsed;
}

} // namespace tavimor
