// SPDX-License-Identifier: GPL-3.0-or-later
#include "CtlOptions.h"

namespace tavimor {

namespace {

struct CommandInfo {
    const char* name;
    int minArgs;
    int maxArgs;
    bool writesTarget;
    const char* flags; // the command's own options, each between blanks: " only-set "
    const char* synopsis;
    const char* summary;
    const char* details;
};

const CommandInfo kCommands[] = {
    {"list", 0, 1, false, " all ", "list [--all | SECTION]", "the sections, or entries and their state",
     "Without SECTION: each section with its position and number of entries, then each category\n"
     "of the loaded templates with its number of policies.\n"
     "With SECTION (its name in any case, its address or its position from 0): each entry with its\n"
     "state in the Tavimor settings and on the machine; * marks entries that need a restart. A\n"
     "category (Mozilla/Firefox) lists its policies by name, with their states and titles.\n"
     "--all: every entry of every section, as Section/Name, then every template policy by name.\n"},
    {"search", 1, 1000, false, "", "search WORDS...", "the entries that match every word",
     "Prints the entries whose name, description, section or registry value name contains every\n"
     "one of the WORDS (any case), with their state as list --all shows it; * marks entries that\n"
     "need a restart. Exit status 0 with matches, 1 without.\n"},
    {"show", 1, 1, false, "", "show ENTRY", "every field of one entry and its state",
     "Every field of the entry, its state in the Tavimor settings and on the machine, and what the\n"
     "registry holds for its value (\"absent\" when nothing).\n"},
    {"set", 2, 1000, true, "",
     "set ENTRY VALUE | set POLICY Enabled [ELEMENT=VALUE...] | set POLICY Disabled",
     "write one value or policy to the registry now",
     "Writes one value now as REG_DWORD, creating its key if needed. VALUE for an on/off entry:\n"
     "Enabled, enable or 0 (the feature is there), Disabled, disable or 1 (the restriction is on),\n"
     "in any case; for a number entry 0 to 2147483647. The line is printed after the value has been\n"
     "read back; a value the registry holds already is not written again, and the line says\n"
     "\"already\". Drive letters are set with drives; unset removes a value.\n"
     "A template POLICY (PREFIX:Name, with machine/ or user/ before it for a policy of both classes)\n"
     "takes Enabled or Disabled and writes exactly what its template says, typed as it says.\n"
     "Enabled takes its elements' values as ELEMENT=VALUE (ELEMENT is the element's id): a boolean\n"
     "true or false, a number in the template's range, an enum item by its text or its value, a\n"
     "text as it is, a multiText's lines separated by line ends; a list ELEMENT=a,b,c or one entry\n"
     "per ELEMENT+=x (NAME=DATA where the list names its entries). Elements not given keep their\n"
     "value, else take the template's default. A value the template does not allow (out of range,\n"
     "not an item, too long, a required element missing) is refused with exit 2, writing nothing.\n"},
    {"unset", 0, 1, true, " all ", "unset ENTRY | unset --all", "remove values: \"not configured\"",
     "Deletes the entry's value from the registry, so that no policy is set for it (\"not\n"
     "configured\"; Windows then behaves as it does without the restriction). --all deletes the value\n"
     "of every entry of the catalogue, the drive letters and numbers included, and makes every\n"
     "template policy that is set not configured. A value that is already absent counts as done and\n"
     "is noted as such. A template POLICY loses every value its template may write.\n"},
    {"apply", 1, 1, true, " only-set ", "apply [--only-set] FILE.rds|DIR",
     "write a settings file's values to the registry",
     "Writes the values of the settings file that differ from the registry, in catalogue order:\n"
     "every on/off entry and every entry typed Numeric, as REG_DWORD, each key created if needed\n"
     "(Number and Drives entries are not written; their keys are created when missing). Each line\n"
     "is printed after its write is confirmed:\n"
     "  Section/Name: HIVE\\PATH\\VALUE: OLD -> NEW (restart)\n"
     "OLD is \"absent\" when the registry holds no value, a quoted text for a REG_SZ value. A value\n"
     "that cannot be written is named with the reason and the others are still written; values that\n"
     "could not be read are left out and named once; a value in the file that is no number ends the\n"
     "pass there. Then apply exits 1; what was written stays written.\n"
     "--only-set writes only the entries the file says something about: those whose CURRENTVALUE\n"
     "holds a number other than their DEFAULTVALUE (with an empty DEFAULTVALUE, any number). All\n"
     "other values stay as they are, so a file with three entries Disabled and the rest at their\n"
     "default pushes those three restrictions and nothing else.\n"
     "- reads the settings file from standard input. A DIR of Group Policy files (see import-pol)\n"
     "is read over the registry's values, so only the values its files set are written.\n"},
    {"diff", 1, 1, false, " only-set ", "diff [--only-set] FILE.rds|DIR",
     "what apply would write, writing nothing",
     "Prints exactly the lines apply with the same options would print, and writes nothing.\n"
     "Exit status 0: nothing to do; 1: something to do; 2: trouble (the file or the target cannot\n"
     "be read, a value that is no number, a usage error); 3: wrong password.\n"
     "- reads the settings file from standard input; a DIR is read as apply reads it.\n"},
    {"save", 1, 1, false, "", "save FILE.rds", "write the current catalogue as a settings file",
     "Writes the catalogue as loaded (the default settings file with the registry's values, or\n"
     "the --file) as an enciphered settings file, whole or not at all. - writes it to standard\n"
     "output (not with --json).\n"},
    {"export-xml", 1, 1, false, "", "export-xml FILE.rds", "print a settings file's catalogue as XML",
     "Deciphers the settings file (- : standard input) and prints its catalogue as indented XML.\n"},
    {"import-xml", 2, 2, false, "", "import-xml FILE.xml OUT.rds",
     "make a settings file from an XML catalogue",
     "Checks the catalogue (every entry needs its elements) and writes it enciphered to OUT.rds.\n"
     "A catalogue with problems is refused, each problem named, and nothing is written.\n"
     "FILE.xml - reads standard input; OUT.rds - writes standard output (not with --json).\n"},
    {"export-pol", 1, 1, false, "", "export-pol DIR", "write the policies as Group Policy files",
     "Writes DIR/User/Registry.pol (HKEY_CURRENT_USER values) and DIR/Machine/Registry.pol\n"
     "(HKEY_LOCAL_MACHINE values) as REG_DWORD records: the values the registry holds now, or with\n"
     "--from FILE.rds those of a settings file. Values that are not set are left out, or with\n"
     "--delete-unset written as deletions. Records of values the catalogue does not know are kept\n"
     "and listed. A file that is not a policy file is refused and nothing is written.\n"},
    {"import-pol", 1, 2, false, "", "import-pol DIR [OUT.rds]", "read Group Policy files",
     "Reads DIR/User/Registry.pol and DIR/Machine/Registry.pol over the registry's values and\n"
     "prints each entry they set; with OUT.rds writes the result as a settings file. Deletions and\n"
     "values the catalogue does not know are listed and left as they are. diff and apply take such\n"
     "a DIR in place of a settings file.\n"},
    {"gpo", 1, 2, false, "", "gpo push|pull --gpo NAME|GUID --sysvol PATH", "the files of a domain's GPO",
     "push: writes the policies into the GPO's folder under the SYSVOL PATH as export-pol does\n"
     "(--from, --delete-unset) and raises the version in its GPT.INI for the halves that changed\n"
     "(user in the high 16 bits, machine in the low 16 bits), and in the directory's\n"
     "versionNumber when ldbmodify can reach its sam.ldb (--url, or PATH/../private/sam.ldb).\n"
     "pull [OUT.rds]: reads the GPO's files as import-pol does.\n"
     "A NAME is looked up in the directory; a GUID is found in the folder.\n"},
    {"export-reg", 1, 1000, false, "",
     "export-reg [--format 4|5] [--from FILE.rds] [SECTION|ENTRY...] FILE|-",
     "write the policy values as a .reg file",
     "Writes the policy values of the catalogue's entries as a .reg file that regedit imports:\n"
     "what the registry holds now, or with --from FILE.rds what applying that settings file would\n"
     "write. Only those values are written: no version, no computer name, nothing else.\n"
     "SECTION (name, address or position) and ENTRY arguments choose the entries; without them,\n"
     "every entry. FILE - writes to standard output.\n"
     "--format 5 (the default): \"Windows Registry Editor Version 5.00\", UTF-16LE with a byte\n"
     "  order mark, as regedit of Windows 2000 and later writes it. An entry that is not\n"
     "  configured (the value is not in the registry; with --from, the file holds no number for\n"
     "  it) is written as a deletion, \"NAME\"=-, so importing the file removes it.\n"
     "--format 4: REGEDIT4, the 8-bit text regedit of Windows 95, 98 and Me reads. It has no\n"
     "  deletions, so entries that are not configured are left out.\n"},
    {"import-reg", 1, 1, true, "", "import-reg FILE|-", "merge a .reg file into the registry",
     "Reads a REGEDIT4 or \"Windows Registry Editor Version 5.00\" file (UTF-16LE with a byte\n"
     "order mark, or UTF-8), FILE - from standard input, and merges it into the target as regedit\n"
     "does: keys are created, values written, \"NAME\"=- deletes a value. Any value, not only the\n"
     "catalogue's. Every value is read back; the summary is printed only when all of them hold.\n"
     "A file that cannot be read as a whole (its line is named) changes nothing. A key deletion\n"
     "[-KEY] is refused and nothing is changed. When a write does not hold, the values written\n"
     "before it are put back as they were. Text must fit Latin-1, the registry's code page.\n"},
    {"report", 1, 2, false, "", "report [SECTION] FILE|-", "write the HTML report",
     "Writes the HTML report of the registry's current state (the machine catalogue), of every\n"
     "section or of SECTION, through the style sheet tavimor.xsl in the program folder: the page\n"
     "the window's Report As HTML writes. FILE - writes it to standard output.\n"},
    {"drives", 0, 1, false, "", "drives [LETTERS|none|all]", "show or set the hidden drive letters",
     "Without an argument: the drive letters Explorer hides (NoDrives).\n"
     "With an argument: hides exactly those drives. LETTERS is a list separated by commas or\n"
     "blanks (quote it), each item a letter (A), a letter with a colon (A:) or a range (A-C, A:-C:);\n"
     "none hides no drive, all hides all 26. Anything else is refused with exit 2.\n"},
    {"password", 0, 0, false, "", "password", "set the administrator password",
     "Asks for the new password twice on the terminal, or reads the first line of\n"
     "--new-password-file FILE. At most 10 characters; trailing spaces do not count; an empty\n"
     "password removes the protection.\n"},
};

const CommandInfo* findCommand(const QString& name) {
    for (const CommandInfo& info : kCommands)
        if (name == QLatin1String(info.name))
            return &info;
    return nullptr;
}

QString* valueSlot(CtlOptions& options, const QString& name) {
    if (name == QLatin1String("target"))
        return &options.target;
    if (name == QLatin1String("file"))
        return &options.file;
    if (name == QLatin1String("password-file"))
        return &options.passwordFile;
    if (name == QLatin1String("new-password-file"))
        return &options.newPasswordFile;
    if (name == QLatin1String("program-folder"))
        return &options.programFolder;
    if (name == QLatin1String("settings-folder"))
        return &options.settingsFolder;
    if (name == QLatin1String("from"))
        return &options.from;
    if (name == QLatin1String("gpo"))
        return &options.gpo;
    if (name == QLatin1String("sysvol"))
        return &options.sysvol;
    if (name == QLatin1String("url"))
        return &options.url;
    if (name == QLatin1String("format"))
        return &options.format;
    if (name == QLatin1String("templates"))
        return &options.templates.emplace_back();
    return nullptr;
}

const char kGlobalUsage[] =
    "Usage: tavimorctl [OPTIONS] COMMAND [ARGUMENTS]\n"
    "\n"
    "Switches Windows policy restrictions on and off.\n"
    "\n"
    "Commands:\n"
    "%1"
    "\n"
    "ENTRY is an entry address (TAVIMOR/REGISTRYSETTINGS[4]/ENTRY[3]), Section/Name\n"
    "(\"Start Menu/Run Dialog\") or a registry value name that only one entry has (NoRun), or a\n"
    "policy of the loaded Administrative Templates: PREFIX:Name (firefox:DisablePrivateBrowsing),\n"
    "with machine/ or user/ before it for a policy of both classes.\n"
    "Where a file is read or written, - means standard input or output.\n"
    "\n"
    "Options (before or after the command):\n"
    "  --target TARGET        the registry to work on (below; default: TAVIMOR_TARGET, else the\n"
    "                         per-user registry file)\n"
    "  --file FILE.rds        load this settings file instead of the default one\n"
    "  --password-file FILE   the administrator password is the first line of FILE\n"
    "  --json                 one JSON object with \"format\": 1 on standard output, and a\n"
    "                         failure as one JSON object on standard error (docs/json.md)\n"
    "  --only-set             apply, diff: only the entries the settings file says something about\n"
    "  --all                  list: every entry of every section; unset: every entry\n"
    "  --from FILE.rds        export-pol, export-reg, gpo push: the values of this settings file\n"
    "  --format 4|5           export-reg: REGEDIT4 or version 5.00 (the default)\n"
    "  --delete-unset         export-pol, gpo push: values not set become deletions\n"
    "  --gpo NAME|GUID        gpo: the Group Policy object\n"
    "  --sysvol PATH          gpo: the domain controller's SYSVOL folder\n"
    "  --url URL              gpo: the directory (ldb:// or ldap://) holding the GPO\n"
    "  --templates DIR        read the Administrative Templates (*.admx, with LANGUAGE/*.adml) of\n"
    "                         DIR; may be given more than once; TAVIMOR_TEMPLATES adds folders\n"
    "                         separated by :, the setting TemplateFolders more; the GNOME\n"
    "                         lock-down template for Samba's Linux client is in\n"
    "                         share/tavimor/templates/gnome\n"
    "  --program-folder DIR   the folder holding tavimor.rds (default: the executable's, or\n"
    "                         ../share/tavimor beside an installed one)\n"
    "  --settings-folder DIR  the folder of the program settings (default: per user)\n"
    "  -h, --help             this text; COMMAND --help describes one command\n"
    "  --version              the version\n"
    "\n"
    "Targets:\n"
    "  file:PATH              a registry file in the REGEDIT4 text format\n"
    "  wine:PREFIX            the registry of a Wine prefix; wine: alone is $WINEPREFIX, else ~/.wine\n"
    "  hive:NTUSER.DAT[,SOFTWARE[,SYSTEM]]\n"
    "                         hive files of a Windows NT-family installation that is not running\n"
    "  windows:ROOT[?user=NAME]\n"
    "                         a mounted Windows folder: its hives and its own Group Policy files\n"
    "                         (show names a value they set; set and unset change it there too)\n"
    "  win9x:FOLDER           the WINDOWS folder of a Windows 95/98/Me disk, read-only\n"
    "  pol:DIR                a folder of Group Policy files: DIR/User/Registry.pol holds\n"
    "                         HKEY_CURRENT_USER, DIR/Machine/Registry.pol HKEY_LOCAL_MACHINE\n"
    "  gpo:SYSVOL?gpo=NAME|GUID[&url=URL]\n"
    "                         a GPO in a domain's SYSVOL; each write also raises its version in\n"
    "                         GPT.INI and in the directory (the sam.ldb beside SYSVOL, or URL)\n"
    "  memory:                a registry in memory, empty but for the version and name; gone at exit\n"
    "\n"
    "When an administrator password is set, every command asks for it (TAVIMOR_PASSWORD or\n"
    "--password-file give it without a terminal). File names are taken from the current folder.\n"
    "Only the commands that change the registry (set, unset, apply, drives LETTERS, import-reg)\n"
    "create a file: target that does not exist; the others refuse it. The per-user registry file\n"
    "is created on first use.\n"
    "\n"
    "Exit status:\n"
    "  0  done; diff: nothing to do\n"
    "  1  failed, or not all was done (standard error says what and why); diff: something to do\n"
    "  2  usage: a command, option or value that cannot be meant; nothing was done;\n"
    "     diff: any trouble (a file or the target cannot be read)\n"
    "  3  the administrator password is wrong or missing; nothing was done\n";

} // namespace

bool CtlOptions::isCommand(const QString& name) {
    return findCommand(name) != nullptr;
}

bool CtlOptions::writesTarget() const {
    const CommandInfo* info = findCommand(command);
    return info && (info->writesTarget || (command == QLatin1String("drives") && !arguments.isEmpty()));
}

bool CtlOptions::needsRegistry() const {
    return command != QLatin1String("export-xml") && command != QLatin1String("import-xml") &&
           command != QLatin1String("password");
}

int CtlOptions::failureStatus(const QString& command) {
    return command == QLatin1String("diff") ? kExitTrouble : kExitFailure;
}

QString CtlOptions::usage(const QString& command) {
    if (const CommandInfo* info = findCommand(command))
        return QStringLiteral("Usage: tavimorctl [OPTIONS] %1\n\n%2")
            .arg(QLatin1String(info->synopsis), QLatin1String(info->details));
    QString list;
    for (const CommandInfo& info : kCommands) {
        const QString synopsis = QLatin1String(info.synopsis);
        if (synopsis.size() > 24)
            list += QStringLiteral("  %1\n  %2 %3\n")
                        .arg(synopsis, QString(24, QLatin1Char(' ')), QLatin1String(info.summary));
        else
            list += QStringLiteral("  %1 %2\n").arg(synopsis.leftJustified(24), QLatin1String(info.summary));
    }
    return QLatin1String(kGlobalUsage).arg(list);
}

std::optional<CtlOptions> CtlOptions::parse(const QStringList& args, QString* error) {
    CtlOptions options;
    auto fail = [error](const QString& text) -> std::optional<CtlOptions> {
        if (error)
            *error = text;
        return std::nullopt;
    };
    QStringList positional;
    bool onlyPositional = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (onlyPositional || arg == QLatin1String("-") || !arg.startsWith(QLatin1Char('-'))) {
            positional.append(arg);
            continue;
        }
        if (arg == QLatin1String("--")) {
            onlyPositional = true;
            continue;
        }
        if (arg == QLatin1String("-h")) {
            options.help = true;
            continue;
        }
        if (!arg.startsWith(QLatin1String("--")))
            return fail(QStringLiteral("unknown option %1").arg(arg));
        const qsizetype eq = arg.indexOf(QLatin1Char('='));
        const QString name = arg.mid(2, eq < 0 ? -1 : eq - 2);
        if (QString* slot = valueSlot(options, name)) {
            if (eq >= 0) {
                *slot = arg.mid(eq + 1);
            } else if (i + 1 < args.size()) {
                *slot = args[++i];
            } else {
                return fail(QStringLiteral("option --%1 needs a value").arg(name));
            }
            if (slot->isEmpty())
                return fail(QStringLiteral("option --%1 needs a value").arg(name));
            continue;
        }
        bool* flag = name == QLatin1String("json")           ? &options.json
                     : name == QLatin1String("all")          ? &options.all
                     : name == QLatin1String("help")         ? &options.help
                     : name == QLatin1String("version")      ? &options.version
                     : name == QLatin1String("delete-unset") ? &options.deleteUnset
                     : name == QLatin1String("only-set")     ? &options.onlySet
                                                             : nullptr;
        if (!flag)
            return fail(QStringLiteral("unknown option --%1").arg(name));
        if (eq >= 0)
            return fail(QStringLiteral("option --%1 takes no value").arg(name));
        *flag = true;
    }
    if (!positional.isEmpty()) {
        options.command = positional.takeFirst();
        options.arguments = positional;
    }
    const CommandInfo* info = findCommand(options.command);
    if (!options.command.isEmpty() && !info)
        return fail(QStringLiteral("unknown command \"%1\"").arg(options.command));
    if (options.help || options.version)
        return options;
    if (!info)
        return fail(QStringLiteral("no command given"));
    const auto ownFlag = [&](bool given, const char* flag) {
        return !given || QLatin1String(info->flags).contains(QStringLiteral(" %1 ").arg(QLatin1String(flag)));
    };
    for (const auto& [given, flag] : {std::pair{options.onlySet, "only-set"}, std::pair{options.all, "all"}})
        if (!ownFlag(given, flag))
            return fail(QStringLiteral("--%1 does not go with %2").arg(QLatin1String(flag), options.command));
    if (options.command == QLatin1String("unset") && options.all == !options.arguments.isEmpty())
        return fail(QStringLiteral("unset takes one ENTRY or --all"));
    if (options.arguments.size() < info->minArgs)
        return fail(QStringLiteral("missing argument: tavimorctl %1").arg(QLatin1String(info->synopsis)));
    if (options.arguments.size() > info->maxArgs)
        return fail(QStringLiteral("too many arguments: tavimorctl %1").arg(QLatin1String(info->synopsis)));
    if (!options.newPasswordFile.isEmpty() && options.command != QLatin1String("password"))
        return fail(QStringLiteral("--new-password-file belongs to the password command"));
    if (!options.format.isEmpty() && options.command != QLatin1String("export-reg"))
        return fail(QStringLiteral("--format belongs to the export-reg command"));
    if (!options.format.isEmpty() && options.format != QLatin1String("4") &&
        options.format != QLatin1String("5"))
        return fail(QStringLiteral("--format is 4 or 5, not \"%1\"").arg(options.format));
    if (options.all && options.command == QLatin1String("list") && !options.arguments.isEmpty())
        return fail(QStringLiteral("list takes --all or a SECTION, not both"));
    return options;
}

} // namespace tavimor
