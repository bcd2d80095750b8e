// SPDX-License-Identifier: GPL-3.0-or-later
#include "registry/wine/WineRegExport.h"
#include "registry/wine/WineRegSyntax.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace tavimor;

namespace {

constexpr auto kKey =
    "hkey_current_user\\software\\microsoft\\windows\\currentversion\\policies\\tavimorexport";

// Written by Wine 8.0's "reg export" of a Policies key holding one value of each type.
QByteArray wineExport() {
    QFile file(QStringLiteral(TAVIMOR_TEST_DATA "/wine-export-policies.reg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(WineRegExport, ReadsEveryKeyAndValueTypeWineWrites) {
    const std::optional<ExportedKeys> keys = parseRegExport(wineExport());
    ASSERT_TRUE(keys);
    EXPECT_EQ(keys->size(), 4);
    EXPECT_TRUE(keys->contains(QLatin1String(kKey) + u"\\sub"_s));
    const QHash<QString, RegValue> values = keys->value(QLatin1String(kKey));
    const auto ansi = [&](const char* name) {
        return winereg::toAnsi(values.value(QLatin1String(name)));
    };
    EXPECT_EQ(ansi("quoted"), (RegValue{REG_SZ, QByteArray("say \"hi\" \\ caf\xe9\0", 16)}));
    EXPECT_EQ(ansi(""), (RegValue{REG_SZ, QByteArray("default\0", 8)}));
    EXPECT_EQ(ansi("path").type, REG_EXPAND_SZ);
    EXPECT_EQ(winereg::textOfData(values.value(u"path"_s).data), u"%SystemRoot%\\x"_s);
    // Hex data that goes on over continuation lines.
    QByteArray blob;
    for (char b = 0; b < 48; ++b)
        blob.append(b);
    EXPECT_EQ(ansi("blob"), (RegValue{REG_BINARY, blob}));
    EXPECT_EQ(values.value(u"list"_s).type, REG_MULTI_SZ);
}

TEST(WineRegExport, RefusesWhatWineDidNotWrite) {
    const QByteArray good = wineExport();
    EXPECT_FALSE(parseRegExport(QByteArray("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\X]\r\n")));
    EXPECT_FALSE(parseRegExport(good.left(good.size() - 1)));
    // A value line before any key, and a value line Wine would not write.
    const QString text =
        QString::fromUtf16(reinterpret_cast<const char16_t*>(good.constData() + 2), (good.size() - 2) / 2);
    for (const QString& broken : {QString(text).replace(u"\r\n\r\n["_s, u"\r\n\"A\"=dword:1\r\n["_s),
                                  QString(text).replace(u"=dword:"_s, u"=dwerd:"_s)}) {
        QByteArray bytes("\xff\xfe");
        bytes.append(reinterpret_cast<const char*>(broken.utf16()), broken.size() * 2);
        EXPECT_FALSE(parseRegExport(bytes));
    }
}

} // namespace
