// SPDX-License-Identifier: GPL-3.0-or-later
#include "ctl/CtlFixture.h"

#include <QProcess>
#include <QRegularExpression>

void PrintTo(const QStringList& list, std::ostream* out) {
    *out << list.join(QStringLiteral("\n    ")).prepend(QStringLiteral("\n    ")).toStdString();
}

namespace tavimor::test {
namespace {

const QString kFirefox = u"Software\\Policies\\Mozilla\\Firefox\\"_s;

// Policies set as an administrator would, each with the registry values Mozilla's documentation
// says a GPO holds for it ("Windows (GPO)" in firefox-policies.md), below Software\Policies\Mozilla\Firefox.
struct Case {
    const char* policy;
    QStringList arguments; // the state and the element values
    QStringList values;    // "KEY\NAME = VALUE" as the documentation writes them
};

const QList<Case> kCases = {
    {"DisablePrivateBrowsing", {u"Enabled"_s}, {u"DisablePrivateBrowsing = 0x1"_s}},
    {"DisableTelemetry", {u"Enabled"_s}, {u"DisableTelemetry = 0x1"_s}},
    {"DisableAppUpdate", {u"Enabled"_s}, {u"DisableAppUpdate = 0x1"_s}},
    {"BlockAboutConfig", {u"Enabled"_s}, {u"BlockAboutConfig = 0x1"_s}},
    {"DisablePocket", {u"Enabled"_s}, {u"DisablePocket = 0x1"_s}},
    {"DisableFirefoxStudies", {u"Enabled"_s}, {u"DisableFirefoxStudies = 0x1"_s}},
    {"DontCheckDefaultBrowser", {u"Enabled"_s}, {u"DontCheckDefaultBrowser = 0x1"_s}},
    {"NoDefaultBookmarks", {u"Enabled"_s}, {u"NoDefaultBookmarks = 0x1"_s}},
    {"Cookies_Locked", {u"Enabled"_s}, {u"Cookies\\Locked = 0x1"_s}},
    {"Camera_BlockNewRequests", {u"Enabled"_s}, {u"Permissions\\Camera\\BlockNewRequests = 0x1"_s}},
    {"DNSOverHTTPS_Enabled", {u"Enabled"_s}, {u"DNSOverHTTPS\\Enabled = 0x1"_s}},
    {"PopupBlocking_Default", {u"Enabled"_s}, {u"PopupBlocking\\Default = 0x1"_s}},
    {"Authentication_Locked", {u"Enabled"_s}, {u"Authentication\\Locked = 0x1"_s}},
    {"A_SanitizeOnShutdown_Cache", {u"Enabled"_s}, {u"SanitizeOnShutdown\\Cache = 0x1"_s}},
    // The disabled form: the value the template gives for Disabled.
    {"NetworkPrediction", {u"Disabled"_s}, {u"NetworkPrediction = 0x0"_s}},
    {"ExtensionUpdate", {u"Disabled"_s}, {u"ExtensionUpdate = 0x0"_s}},
    {"OfferToSaveLoginsDefault", {u"Disabled"_s}, {u"OfferToSaveLoginsDefault = 0x0"_s}},
    // Texts, a text beside a boolean, a number.
    {"HomepageURL",
     {u"Enabled"_s, u"HomepageURL=https://example.com"_s, u"HomepageLocked=true"_s},
     {u"Homepage\\URL = \"https://example.com\""_s, u"Homepage\\Locked = 0x1"_s}},
    {"DNSOverHTTPS_ProviderURL",
     {u"Enabled"_s, u"String=URL_TO_ALTERNATE_PROVIDER"_s},
     {u"DNSOverHTTPS\\ProviderURL = \"URL_TO_ALTERNATE_PROVIDER\""_s}},
    {"DownloadDirectory",
     {u"Enabled"_s, u"Preferences_String=${home}\\Downloads"_s},
     {u"DownloadDirectory = \"${home}\\Downloads\""_s}},
    {"OverrideFirstRunPage",
     {u"Enabled"_s, u"OverridePage=http://example.org"_s},
     {u"OverrideFirstRunPage = \"http://example.org\""_s}},
    {"ContentAnalysis_AgentName",
     {u"Enabled"_s, u"String=My DLP Product"_s},
     {u"ContentAnalysis\\AgentName = \"My DLP Product\""_s}},
    {"ContentAnalysis_AgentTimeout",
     {u"Enabled"_s, u"Number=60"_s},
     {u"ContentAnalysis\\AgentTimeout = 60"_s}},
    {"Proxy_HTTPProxy",
     {u"Enabled"_s, u"Proxy_HTTPProxy=https://httpproxy.example.com"_s},
     {u"Proxy\\HTTPProxy = \"https://httpproxy.example.com\""_s}},
    // Enums: string items, and numbers.
    {"Cookies_Behavior",
     {u"Enabled"_s, u"Cookies_Behavior=reject-foreign"_s},
     {u"Cookies\\Behavior = \"reject-foreign\""_s}},
    {"HomepageStartPage", {u"Enabled"_s, u"StartPage=homepage"_s}, {u"Homepage\\StartPage = \"homepage\""_s}},
    {"DisplayBookmarksToolbar_Enum",
     {u"Enabled"_s, u"DisplayBookmarksToolbar=newtab"_s},
     {u"DisplayBookmarksToolbar = \"newtab\""_s}},
    {"SSLVersionMax", {u"Enabled"_s, u"SSLVersion=tls1.3"_s}, {u"SSLVersionMax = \"tls1.3\""_s}},
    {"HttpsOnlyMode",
     {u"Enabled"_s, u"HttpsOnlyMode=force_enabled"_s},
     {u"HttpsOnlyMode = \"force_enabled\""_s}},
    {"PrivateBrowsingModeAvailability",
     {u"Enabled"_s, u"PrivateBrowsingModeAvailability=2"_s},
     {u"PrivateBrowsingModeAvailability = 0x2"_s}},
    {"Proxy_ConnectionType",
     {u"Enabled"_s, u"Proxy_ConnectionType=manual"_s},
     {u"Proxy\\Mode = \"manual\""_s}},
    // Lists numbered from 1, each element kind's own key.
    {"HomepageAdditional",
     {u"Enabled"_s, u"HomepageAdditional=https://example.org,https://example.edu"_s},
     {u"Homepage\\Additional\\1 = \"https://example.org\""_s,
      u"Homepage\\Additional\\2 = \"https://example.edu\""_s}},
    {"PasswordManagerExceptions",
     {u"Enabled"_s, u"List+=https://example.org"_s, u"List+=https://example.edu"_s},
     {u"PasswordManagerExceptions\\1 = \"https://example.org\""_s,
      u"PasswordManagerExceptions\\2 = \"https://example.edu\""_s}},
    {"PopupBlocking_Allow",
     {u"Enabled"_s, u"Permissions=https://example.org,https://example.edu"_s},
     {u"PopupBlocking\\Allow\\1 = \"https://example.org\""_s,
      u"PopupBlocking\\Allow\\2 = \"https://example.edu\""_s}},
    {"Camera_Allow",
     {u"Enabled"_s, u"Permissions=https://example.org,https://example.com"_s},
     {u"Permissions\\Camera\\Allow\\1 = \"https://example.org\""_s,
      u"Permissions\\Camera\\Allow\\2 = \"https://example.com\""_s}},
    {"Cookies_Allow",
     {u"Enabled"_s, u"Permissions=https://example.com"_s},
     {u"Cookies\\Allow\\1 = \"https://example.com\""_s}},
    {"Extensions_Uninstall",
     {u"Enabled"_s, u"Extensions=bad_addon_id@mozilla.org"_s},
     {u"Extensions\\Uninstall\\1 = \"bad_addon_id@mozilla.org\""_s}},
    {"RequestedLocales",
     {u"Enabled"_s, u"RequestedLocales=de,en-US"_s},
     {u"RequestedLocales\\1 = \"de\""_s, u"RequestedLocales\\2 = \"en-US\""_s}},
    {"Authentication_SPNEGO",
     {u"Enabled"_s, u"Authentication=mydomain.com,https://myotherdomain.com"_s},
     {u"Authentication\\SPNEGO\\1 = \"mydomain.com\""_s,
      u"Authentication\\SPNEGO\\2 = \"https://myotherdomain.com\""_s}},
    {"DNSOverHTTPS_ExcludedDomains",
     {u"Enabled"_s, u"List=example.com"_s},
     {u"DNSOverHTTPS\\ExcludedDomains\\1 = \"example.com\""_s}},
    {"B_WebsiteFilter_Block",
     {u"Enabled"_s, u"WebsiteFilter=<all_urls>"_s},
     {u"WebsiteFilter\\Block\\1 = \"<all_urls>\""_s}},
    // A list whose entries the user names; expandable, so REG_EXPAND_SZ.
    {"SecurityDevices_Add",
     {u"Enabled"_s, u"SecurityDevices=My Token=%ProgramFiles%\\token.dll"_s},
     {u"SecurityDevices\\Add\\My Token = \"%ProgramFiles%\\token.dll\""_s}},
    // Booleans of their own.
    {"Authentication_AllowNonFQDN",
     {u"Enabled"_s, u"Authentication_AllowNonFQDN_NTLM=true"_s,
      u"Authentication_AllowNonFQDN_SPNEGO=false"_s},
     {u"Authentication\\AllowNonFQDN\\NTLM = 0x1"_s, u"Authentication\\AllowNonFQDN\\SPNEGO = 0x0"_s}},
    {"CustomizeFirefoxHome",
     {u"Enabled"_s, u"FirefoxHome_Search=true"_s, u"FirefoxHome_TopSites=false"_s,
      u"FirefoxHome_SponsoredTopSites=false"_s, u"FirefoxHome_Highlights=true"_s,
      u"FirefoxHome_Pocket=false"_s, u"FirefoxHome_SponsoredPocket=false"_s, u"FirefoxHome_Snippets=false"_s,
      u"FirefoxHome_Locked=true"_s},
     {u"FirefoxHome\\Search = 0x1"_s, u"FirefoxHome\\TopSites = 0x0"_s,
      u"FirefoxHome\\SponsoredTopSites = 0x0"_s, u"FirefoxHome\\Highlights = 0x1"_s,
      u"FirefoxHome\\Pocket = 0x0"_s, u"FirefoxHome\\SponsoredPocket = 0x0"_s,
      u"FirefoxHome\\Snippets = 0x0"_s, u"FirefoxHome\\Locked = 0x1"_s}},
};

QString documentation() {
    QFile file(QStringLiteral(TAVIMOR_SOURCE_DIR "/tests/templates/data/firefox/firefox-policies.md"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return QString::fromUtf8(file.readAll());
}

// The JSON a multiText policy takes, as the documentation gives it for a GPO.
QString documentedJson(const QString& name) {
    const QString md = documentation();
    const qsizetype at = md.indexOf(kFirefox + name + u" (REG_MULTI_SZ) =\n```\n"_s);
    EXPECT_GE(at, 0) << name.toStdString();
    const qsizetype start = md.indexOf(u"```\n"_s, at) + 4;
    return md.mid(start, md.indexOf(u"```"_s, start) - start).trimmed();
}

// "KEY\NAME" -> the values firefox-policies.md gives it under "Windows (GPO)", any of which may be
// meant ("0x1 | 0x0"); an upper-case placeholder stands for any text.
QHash<QString, QStringList> documentedValues() {
    QHash<QString, QStringList> values;
    bool inGpo = false;
    for (const QString& line : documentation().split(u'\n')) {
        if (line.startsWith(u"#### "_s))
            inGpo = line == u"#### Windows (GPO)"_s;
        const qsizetype equals = line.indexOf(u" = "_s);
        if (!inGpo || !line.startsWith(kFirefox) || equals < 0)
            continue;
        QString value = line.mid(equals + 3).trimmed();
        while (value.startsWith(u"= "_s)) // one entry writes "= =".
            value = value.mid(2);
        const QStringList alternatives = value.startsWith(u'"') && value.contains(u"\", \""_s)
                                             ? value.split(u", "_s)
                                             : value.split(u" | "_s);
        values[line.mid(kFirefox.size(), equals - kFirefox.size()).toLower()] += alternatives;
    }
    return values;
}

bool documented(const QHash<QString, QStringList>& docs, const QString& line) {
    const qsizetype equals = line.indexOf(u" = "_s);
    const QString place = line.left(equals).toLower();
    const QString value = line.mid(equals + 3);
    static const QRegularExpression placeholder(u"^\"?[A-Z][A-Z_]+\"?$"_s);
    for (auto it = docs.cbegin(); it != docs.cend(); ++it) {
        // A key or value name the documentation leaves to the user.
        QString pattern = QRegularExpression::escape(it.key());
        pattern.replace(QRegularExpression(u"\\b[a-z][a-z_]*_[a-z_]+\\b"_s), u"[^\\\\]+"_s);
        if (!QRegularExpression(u"^"_s + pattern + u"$"_s).match(place).hasMatch())
            continue;
        for (const QString& documentedValue : it.value())
            if (documentedValue == value || placeholder.match(documentedValue).hasMatch() ||
                (value.startsWith(u'"') && documentedValue == value.mid(1).chopped(1)) ||
                (value.startsWith(u"0x"_s) &&
                 documentedValue.toUInt(nullptr, 0) == value.toUInt(nullptr, 16) &&
                 !documentedValue.startsWith(u'"')))
                return true;
    }
    return false;
}

class FirefoxGpo : public CtlFixture {
protected:
    void SetUp() override {
        QProcess probe;
        probe.start(QStringLiteral(TAVIMOR_SAMBA_PYTHON), {u"-c"_s, u"import samba.gp_parse.gp_pol"_s});
        ASSERT_TRUE(probe.waitForFinished(60000) && probe.exitCode() == 0)
            << "Samba's GPPolParser cannot be imported by " TAVIMOR_SAMBA_PYTHON
               " (scripts/setup.sh installs python3-samba)";
        m_vars.insert(u"TAVIMOR_TEMPLATES"_s,
                      QStringLiteral(TAVIMOR_SOURCE_DIR "/tests/templates/data/firefox"));
    }
    // The records of a Registry.pol as Samba's own parser reads them, in the documentation's form.
    QStringList sambaLines(const QString& file) {
        QProcess process;
        process.start(QStringLiteral(TAVIMOR_SAMBA_PYTHON),
                      {QStringLiteral(TAVIMOR_GP_POL_HELPER), u"read"_s, file});
        EXPECT_TRUE(process.waitForFinished(120000));
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        QStringList lines;
        for (const QJsonValue& value : QJsonDocument::fromJson(process.readAllStandardOutput()).array()) {
            const QJsonObject record = value.toObject();
            const QString name = record["name"_L1].toString();
            if (name == u"**delvals."_s) // a list's key emptied before its entries: not a value
                continue;
            const QString place = QString(record["key"_L1].toString() + u'\\' + name).mid(kFirefox.size());
            const int type = record["type"_L1].toInt();
            QString shown;
            if (type == REG_DWORD)
                shown = place.endsWith(u"AgentTimeout"_s)
                            ? QString::number(record["value"_L1].toInteger())
                            : u"0x"_s + QString::number(record["value"_L1].toInteger(), 16);
            else if (type == REG_MULTI_SZ) {
                const QByteArray data = QByteArray::fromBase64(record["value"_L1].toString().toLatin1());
                const QString text =
                    QString::fromUtf16(reinterpret_cast<const char16_t*>(data.constData()), data.size() / 2);
                shown =
                    QString::fromUtf8(
                        QJsonDocument(QJsonArray::fromStringList(text.split(QChar(0), Qt::SkipEmptyParts)))
                            .toJson(QJsonDocument::Compact))
                        .replace(u"\",\""_s, u"\", \""_s);
            } else
                shown = u'"' + record["value"_L1].toString() + u'"';
            lines.append(place + u" = "_s + shown);
        }
        return lines;
    }
};

TEST_F(FirefoxGpo, FortyPoliciesWriteWhatMozillaDocumentsAsSambaReadsIt) {
    // A multiText: the documented JSON, one string per line.
    const QString json = documentedJson(u"ManagedBookmarks"_s);
    QList<Case> cases = kCases;
    cases.append(
        {"ManagedBookmarks",
         {u"Enabled"_s, u"JSON="_s + json},
         {u"ManagedBookmarks = "_s +
          QString::fromUtf8(
              QJsonDocument(QJsonArray::fromStringList(json.split(u'\n'))).toJson(QJsonDocument::Compact))
              .replace(u"\",\""_s, u"\", \""_s)}});
    ASSERT_GE(cases.size(), 40);
    QStringList expected;
    for (const Case& c : cases) {
        const Result r =
            run(QStringList{u"set"_s, u"machine/firefox:"_s + QLatin1String(c.policy)} + c.arguments);
        EXPECT_EQ(r.status, 0) << c.policy << ": " << r.err.toStdString();
        expected += c.values;
    }
    ok("export-pol", path("gpo"));
    const QStringList lines = sambaLines(pol("Machine"));
    QStringList sorted = lines;
    sorted.sort();
    expected.sort();
    EXPECT_EQ(sorted, expected);
    const QHash<QString, QStringList> docs = documentedValues();
    for (const QString& line : lines) {
        if (!line.startsWith(u"ManagedBookmarks"_s)) { // the JSON, taken from the documentation itself
            EXPECT_TRUE(documented(docs, line)) << line.toStdString();
        }
    }
}

} // namespace
} // namespace tavimor::test
