// SPDX-License-Identifier: GPL-3.0-or-later
#include "BuiltinCatalogue.h"

#include <QByteArray>
#include <cstring>

namespace tavimor {

namespace {

struct BuiltinEntry {
    const char* section;
    const char* name;
    const char* key;
    const char* path;
    const char* regname;
    const char* datatype;
    const char* restart;
    const char* image;
    const char* description;
    const char* comment;
};

constexpr const char* kCU = "HKEY_CURRENT_USER";
constexpr const char* kLM = "HKEY_LOCAL_MACHINE";

constexpr const char* kE = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
constexpr const char* kEU = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
constexpr const char* kS = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
constexpr const char* kN = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Network";
constexpr const char* kNU = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Network";
constexpr const char* kW = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\WinOldApp";
constexpr const char* kIC = "SOFTWARE\\Policies\\Microsoft\\Internet Explorer\\Control Panel";
constexpr const char* kIR = "SOFTWARE\\Policies\\Microsoft\\Internet Explorer\\Restrictions";

// Display, Network, Printer and Security make up the first piece of text.
constexpr int kSectionsInFirstPiece = 4;

// clang-format off
constexpr BuiltinEntry kEntries[] = {
    {"Display", "Display Properties", kCU, kS, "NoDispCpl", "Boolean", "No", "\\Resources\\D001.rdi",
     "Prevents Users from changing any of the Display Properties like, Desktop Wallpapers, "
     "Screen savers, etc.,",
     nullptr},
    {"Display", "Background Page", kCU, kS, "NoDispBackgroundPage", "Boolean", "No", "\\Resources\\D002.rdi",
     "Hides the Background page of Display Properties, so users cannot change the desktop wallpaper or "
     "pattern.",
     nullptr},
    {"Display", "Appearance Page", kCU, kS, "NoDispAppearancePage", "Boolean", "No", "\\Resources\\D003.rdi",
     "Hides the Appearance page of Display Properties, so users cannot change the colour scheme or the "
     "fonts and sizes of screen elements.",
     nullptr},
    {"Display", "Settings Page", kCU, kS, "NoDispSettingsPage", "Boolean", "No", "\\Resources\\D004.rdi",
     "Hides the Settings page of Display Properties, so users cannot change the number of colours, the "
     "screen resolution or the display adapter and monitor drivers.",
     nullptr},
    {"Display", "ScreenSaver Page", kCU, kS, "NoDispScrSavPage", "Boolean", "No", "\\Resources\\D005.rdi",
     "Hides the Screen Saver page of Display Properties, so users cannot choose a screen saver, change its "
     "wait time or set its password.",
     nullptr},
    {"Display", "Desktop", kCU, kE, "NoDesktop", "Boolean", "Yes", "\\Resources\\D006.rdi",
     "Hides every icon and shortcut on the desktop, including My Computer and Network Neighborhood, so "
     "users cannot open anything from the desktop.",
     nullptr},
    {"Display", "Save Desktop", kCU, kE, "NoSaveSettings", "Boolean", "Yes", "\\Resources\\D007.rdi",
     "Stops Windows from saving the desktop at logoff, so changes to icon positions, open windows and the "
     "taskbar are lost when the user logs off.",
     "Doesnot work in Windows 98"},
    {"Network", "Network Neighborhood", kCU, kE, "NoNetHood", "Boolean", "Yes", "\\Resources\\N001.rdi",
     "Removes Network Neighborhood from the desktop, so users cannot browse the computers and shared "
     "resources of the network through it.",
     nullptr},
    {"Network", "Network Setup", kCU, kN, "NoNetSetup", "Boolean", "No", "\\Resources\\N002.rdi",
     "Prevents users from opening the Network control panel, so they cannot add, remove or configure "
     "network adapters, clients, protocols and services.",
     nullptr},
    {"Network", "Network Identification Page", kCU, kN, "NoNetSetupIdPage", "Boolean", "No",
     "\\Resources\\N003.rdi",
     "Hides the Identification page of the Network control panel, so users cannot change the computer "
     "name, workgroup or computer description.",
     nullptr},
    {"Network", "Network Access Page", kCU, kNU, "NoNetSetupSecurityPage", "Boolean", "No",
     "\\Resources\\N004.rdi",
     "Hides the Access Control page of the Network control panel, so users cannot switch between "
     "share-level and user-level access control.",
     nullptr},
    {"Network", "Password Caching", kLM, kNU, "DisablePwdCaching", "Boolean", "No", "\\Resources\\N005.rdi",
     "Stops Windows from saving passwords in the user's password list, so passwords for shared resources "
     "and dial-up connections must be typed every time.",
     nullptr},
    {"Network", "Network File Sharing", kLM, kNU, "NoFileSharing", "Boolean", "No", "\\Resources\\N006.rdi",
     "Turns off file sharing, so users cannot share this computer's folders and drives with others on the "
     "network.",
     nullptr},
    {"Network", "Set Minimum Password Length", kLM, kNU, "MinPwdLen", "Number", "No", "\\Resources\\N007.rdi",
     "This setting is used to set the minimum length of password used by the user to login into Windows. "
     "This will be initially zero.",
     nullptr},
    {"Printer", "Delete Printer", kCU, kE, "NoDeletePrinter", "Boolean", "Yes", "\\Resources\\P001.rdi",
     "Prevents users from deleting printers from the Printers folder.",
     nullptr},
    {"Printer", "Add Printer", kCU, kE, "NoAddPrinter", "Boolean", "Yes", "\\Resources\\P002.rdi",
     "Prevents users from installing printers; the Add Printer wizard in the Printers folder cannot be used.",
     nullptr},
    {"Printer", "General and details pages", kCU, kE, "NoPrinterTabs", "Boolean", "No",
     "\\Resources\\P003.rdi",
     "Hides the General and Details pages of a printer's properties, so users cannot change its comment, "
     "separator page, port or driver.",
     nullptr},
    {"Security", "Handle Drive(s)", kCU, kE, "NoDrives", "Drives", "Yes", "\\Resources\\S001.rdi",
     "Determines whether user has access to Floppy Drives on the computer.",
     nullptr},
    {"Security", "DOS access", kCU, kW, "Disabled", "Boolean", "No", "\\Resources\\S002.rdi",
     "Determines access to MS-DOS prompt",
     nullptr},
    {"Security", "Password control panel applet", kCU, kS, "NoSecCpl", "Boolean", "No",
     "\\Resources\\S003.rdi",
     "Prevents users from opening the Passwords control panel, so none of its pages can be used.",
     nullptr},
    {"Security", "Change Password Page", kCU, kS, "NoPwdPage", "Boolean", "No", "\\Resources\\S004.rdi",
     "Hides the Change Passwords page of the Passwords control panel, so users cannot change their Windows "
     "password or other passwords there.",
     nullptr},
    {"Security", "Remote Administration Page", kCU, kS, "NoAdminPage", "Boolean", "No",
     "\\Resources\\S005.rdi",
     "Hides the Remote Administration page of the Passwords control panel, so users cannot turn remote "
     "administration of this computer on or off.",
     nullptr},
    {"Security", "User Profile Page", kCU, kS, "NoProfilePage", "Boolean", "No", "\\Resources\\S006.rdi",
     "Hides the User Profiles page of the Passwords control panel, so users cannot choose between one "
     "shared profile and personal profiles for each user.",
     nullptr},
    {"Security", "Registry Editor", kCU, kS, "DisableRegistryTools", "Boolean", "No", "\\Resources\\S007.rdi",
     "Prevents users from running the Registry Editor, so they cannot view or change the registry with it.",
     nullptr},
    {"Start Menu", "Retain Recent Documents upon exit", kLM, kEU, "ClearRecentDocsOnExit", "Boolean", "No",
     "\\Resources\\SM001.rdi",
     "Clears the list of recently opened documents when the user logs off, so the Documents menu starts "
     "empty in the next session.",
     nullptr},
    {"Start Menu", "Control Panel, Printers and Network options", kCU, kE, "NoSetFolders", "Boolean", "Yes",
     "\\Resources\\SM002.rdi",
     "Removes Control Panel, Printers and the network folders from the Settings menu of the Start menu, so "
     "users cannot open them from there.",
     nullptr},
    {"Start Menu", "Taskbar and Start Menu Properties", kCU, kE, "NoSetTaskBar", "Boolean", "Yes",
     "\\Resources\\SM004.rdi",
     "Removes Taskbar from the Settings menu and Properties from the taskbar's shortcut menu, so users "
     "cannot change the taskbar and Start menu options.",
     nullptr},
    {"Start Menu", "Run Dialog", kCU, kE, "NoRun", "Boolean", "Yes", "\\Resources\\SM005.rdi",
     "Removes Run from the Start menu, so users cannot start programs by typing a command line.",
     nullptr},
    {"Start Menu", "Find Dialog", kCU, kE, "NoFind", "Boolean", "Yes", "\\Resources\\SM006.rdi",
     "Removes Find from the Start menu, so users cannot search for files, folders or computers from there.",
     nullptr},
    {"Start Menu", "Shutdown option", kCU, kE, "NoClose", "Boolean", "Yes", "\\Resources\\SM007.rdi",
     "Removes Shut Down from the Start menu and disables the Shut Down dialog, so users cannot shut down "
     "or restart Windows from the desktop.",
     nullptr},
    {"Start Menu", "Documents Menu", kCU, kE, "NoRecentDocsMenu", "Boolean", "Yes", "\\Resources\\SM008.rdi",
     "Removes the Documents menu from the Start menu, so users cannot reopen recently used files from there.",
     nullptr},
    {"Start Menu", "Log off option", kCU, kE, "NoLogOff", "Boolean", "Yes", "\\Resources\\SM009.rdi",
     "Removes Log Off from the Start menu, so users cannot end their session and log on as someone else "
     "from there.",
     nullptr},
    {"System", "Device Manager Page", kCU, kS, "NoDevMgrPage", "Boolean", "No", "\\Resources\\SY001.rdi",
     "Hides the Device Manager page of the System control panel, so users cannot view or change devices, "
     "their resources and their drivers.",
     nullptr},
    {"System", "Hardware profile Page", kCU, kS, "NoConfigPage", "Boolean", "No", "\\Resources\\SY002.rdi",
     "Hides the Hardware Profiles page of the System control panel, so users cannot create, copy, rename "
     "or delete hardware profiles.",
     nullptr},
    {"System", "File System Page", kCU, kS, "NoFileSysPage", "Boolean", "No", "\\Resources\\SY003.rdi",
     "Hides the File System button on the Performance page of the System control panel, so users cannot "
     "change disk caching and other file system settings.",
     nullptr},
    {"System", "Virtual Memory Page", kCU, kS, "NoVirtMemPage", "Boolean", "No", "\\Resources\\SY004.rdi",
     "Hides the Virtual Memory button on the Performance page of the System control panel, so users cannot "
     "change the swap file settings.",
     nullptr},
    {"InternetExplorer", "Accessibility settings", kCU, kIC, "Accessibility", "Boolean", "No",
     "\\Resources\\IE001.rdi",
     "Prevents users from changing Internet Explorer's accessibility options, such as ignoring the "
     "colours, fonts and font sizes of web pages or applying their own style sheet.",
     nullptr},
    {"InternetExplorer", "Advanced Tab", kCU, kIC, "Advanced", "Boolean", "No", "\\Resources\\IE002.rdi",
     "Prevents users from changing the options on the Advanced tab of Internet Options, such as browsing, "
     "multimedia and security options.",
     nullptr},
    {"InternetExplorer", "Autoconfig", kCU, kIC, "Autoconfig", "Boolean", "No", "\\Resources\\IE003.rdi",
     "Prevents users from changing the automatic configuration settings, such as the address of the "
     "automatic configuration script.",
     nullptr},
    {"InternetExplorer", "Cache settings", kCU, kIC, "Cache", "Boolean", "No", "\\Resources\\IE004.rdi",
     "Prevents users from changing the Temporary Internet Files settings, such as the disk space the cache "
     "may use and its location.",
     nullptr},
    {"InternetExplorer", "Calendar and Contact settings", kCU, kIC, "CalendarContact", "Boolean", "No",
     "\\Resources\\IE005.rdi",
     "Prevents users from changing which programs Internet Explorer uses for the calendar and the contact "
     "list.",
     nullptr},
    {"InternetExplorer", "Connection Settings", kCU, kIC, "Connection Settings", "Boolean", "No",
     "\\Resources\\IE006.rdi",
     "Prevents users from changing the connection settings, such as the dial-up connection Internet "
     "Explorer uses and when it dials.",
     nullptr},
    {"InternetExplorer", "Font Setting", kCU, kIC, "Fonts", "Boolean", "No", "\\Resources\\IE007.rdi",
     "Prevents users from changing the fonts Internet Explorer uses for web pages and plain text.",
     nullptr},
    {"InternetExplorer", "General Tab", kCU, kIC, "GeneralTab", "Boolean", "No", "\\Resources\\IE008.rdi",
     "Removes the General tab from Internet Options, so users cannot change the home page, temporary "
     "files, history, colours, fonts, languages or accessibility options there.",
     nullptr},
    {"InternetExplorer", "History Setting", kCU, kIC, "History", "Boolean", "No", "\\Resources\\IE009.rdi",
     "Prevents users from changing how many days visited pages are kept in History and from clearing the "
     "History folder.",
     nullptr},
    {"InternetExplorer", "Default Home Page Setting", kCU, kIC, "HomePage", "Boolean", "No",
     "\\Resources\\IE010.rdi",
     "Prevents users from changing the home page, the page Internet Explorer opens at start.",
     nullptr},
    {"InternetExplorer", "Languages Setting", kCU, kIC, "Languages", "Boolean", "No",
     "\\Resources\\IE011.rdi",
     "Prevents users from changing the language preference that Internet Explorer sends to web sites.",
     nullptr},
    {"InternetExplorer", "Profiles Setting", kCU, kIC, "Profiles", "Boolean", "No", "\\Resources\\IE012.rdi",
     "Prevents users from changing the personal profile that the Profile Assistant gives to web sites.",
     nullptr},
    {"InternetExplorer", "Programs Tab", kCU, kIC, "ProgramsTab", "Boolean", "No", "\\Resources\\IE013.rdi",
     "Removes the Programs tab from Internet Options, so users cannot choose the programs used for e-mail, "
     "newsgroups, Internet calls, the calendar and the contact list.",
     nullptr},
    {"InternetExplorer", "Ratings Setting", kCU, kIC, "Ratings", "Boolean", "No", "\\Resources\\IE014.rdi",
     "Prevents users from changing the Content Advisor ratings, which control the kinds of web content "
     "that may be viewed.",
     nullptr},
    {"InternetExplorer", "Trusted Sites and Restricted Sites setting", kCU, kIC, "SecAddSites", "Boolean",
     "No", "\\Resources\\IE015.rdi",
     "Prevents users from adding sites to or removing sites from the security zones, such as Trusted "
     "sites and Restricted sites.",
     nullptr},
    {"InternetExplorer", "Security Settings", kCU, kIC, "SecChangeSettings", "Boolean", "No",
     "\\Resources\\IE016.rdi",
     "Prevents users from changing the security level or the custom settings of the security zones.",
     nullptr},
    {"InternetExplorer", "Security Tab", kCU, kIC, "SecurityTab", "Boolean", "No", "\\Resources\\IE017.rdi",
     "Removes the Security tab from Internet Options, so users cannot view or change the security zones "
     "and their settings.",
     nullptr},
    {"InternetExplorer", "Settings dialog", kCU, kIC, "Settings", "Boolean", "No", "\\Resources\\IE018.rdi",
     "Disables the Settings button for Temporary Internet Files on the General tab of Internet Options, so "
     "users cannot change how often stored pages are checked for newer versions.",
     nullptr},
    {"InternetExplorer", "Favorites Menu", kCU, kIR, "NoFavorites", "Boolean", "Yes",
     "\\Resources\\IE020.rdi",
     "Hides the Favorites menu of Internet Explorer, so users cannot open, add or organise favourite links.",
     nullptr},
    {"InternetExplorer", "Save As Dialog Box upon file download", kCU, kIR, "NoSelectDownloadDir", "Boolean",
     "Yes", "\\Resources\\IE021.rdi",
     "Prevents users from choosing where a downloaded file is saved; the Save As dialog box does not "
     "appear when a file is downloaded.",
     nullptr},
    {"InternetExplorer", "HTML context menu", kCU, kIR, "NoBrowserContextMenu", "Boolean", "Yes",
     "\\Resources\\IE022.rdi",
     "Disables the shortcut menu that appears when users right-click a web page in Internet Explorer.",
     nullptr},
};
// clang-format on

constexpr char kEol[] = "\r\n";

// Composed as bytes: the table is UTF-8, and so is the document read from it. Attribute values
// also escape the quote that delimits them.
void appendEscaped(QByteArray& out, const char* text, bool inAttribute = false) {
    const char* special = inAttribute ? "&<>\"" : "&<>";
    for (const char* c = text; *c;) {
        const size_t plain = std::strcspn(c, special);
        out.append(c, qsizetype(plain));
        c += plain;
        if (!*c)
            break;
        out += *c == '&' ? "&amp;" : *c == '<' ? "&lt;" : *c == '>' ? "&gt;" : "&quot;";
        ++c;
    }
}

enum class Content { Text, Cdata };

void appendElement(QByteArray& out, int depth, const char* name, const char* content,
                   Content kind = Content::Text) {
    out.append(depth, '\t').append('<').append(name).append('>');
    if (kind == Content::Cdata) {
        Q_ASSERT(!QByteArray(content).contains("]]>"));
        out.append("<![CDATA[").append(content).append("]]>");
    } else {
        appendEscaped(out, content);
    }
    out.append("</").append(name).append('>').append(kEol);
}

void appendEntry(QByteArray& out, const BuiltinEntry& entry) {
    const bool isBoolean = qstrcmp(entry.datatype, "Boolean") == 0;
    // Drives keep their mask only in the registry; the Number entry starts with no value set.
    const char* initial = isBoolean ? "0" : qstrcmp(entry.datatype, "Number") == 0 ? "Null" : "";

    out.append("\t\t<ENTRY Restart=\"");
    appendEscaped(out, entry.restart, true);
    out.append("\">").append(kEol);
    appendElement(out, 3, "NAME", entry.name, Content::Cdata);
    appendElement(out, 3, "DESCRIPTION", entry.description, Content::Cdata);
    appendElement(out, 3, "KEY", entry.key);
    appendElement(out, 3, "PATH", entry.path);
    appendElement(out, 3, "REGNAME", entry.regname);
    out.append("\t\t\t<VALUES Datatype=\"");
    appendEscaped(out, entry.datatype, true);
    out.append("\">").append(kEol);
    if (isBoolean) {
        appendElement(out, 4, "VALUE", "0");
        appendElement(out, 4, "VALUE", "1");
    }
    appendElement(out, 4, "DEFAULTVALUE", initial);
    appendElement(out, 4, "CURRENTVALUE", initial);
    out.append("\t\t\t</VALUES>").append(kEol);
    if (entry.comment)
        appendElement(out, 3, "COMMENT", entry.comment);
    appendElement(out, 3, "IMAGE", entry.image);
    out.append("\t\t</ENTRY>").append(kEol);
}

struct BuiltinPieces {
    QByteArray first;
    QByteArray second;
};

BuiltinPieces composePieces() {
    BuiltinPieces pieces;
    pieces.first.reserve(32 * 1024);
    pieces.second.reserve(16 * 1024);
    pieces.first.append("<?xml version=\"1.0\"?>")
        .append(kEol)
        .append("<TAVIMOR SystemName=\"\">")
        .append(kEol);

    int sectionCount = 0;
    const char* openSection = nullptr;
    QByteArray* target = &pieces.first;
    for (const BuiltinEntry& entry : kEntries) {
        if (!openSection || qstrcmp(openSection, entry.section) != 0) {
            if (openSection)
                target->append("\t</REGISTRYSETTINGS>").append(kEol);
            if (sectionCount == kSectionsInFirstPiece)
                target = &pieces.second;
            target->append("\t<REGISTRYSETTINGS Section=\"");
            appendEscaped(*target, entry.section, true);
            target->append("\">").append(kEol);
            openSection = entry.section;
            ++sectionCount;
        }
        appendEntry(*target, entry);
    }
    target->append("\t</REGISTRYSETTINGS>").append(kEol).append("</TAVIMOR>");
    return pieces;
}

const BuiltinPieces& builtinPieces() {
    static const BuiltinPieces pieces = composePieces();
    return pieces;
}

} // namespace

const QString& txtInitialXML1() {
    static const QString text = QString::fromUtf8(builtinPieces().first);
    return text;
}

const QString& txtInitialXML2() {
    static const QString text = QString::fromUtf8(builtinPieces().second);
    return text;
}

QString builtinCatalogueText() {
    return QString::fromUtf8(builtinCatalogueUtf8());
}

QByteArray builtinCatalogueUtf8() {
    return builtinPieces().first + builtinPieces().second;
}

} // namespace tavimor
