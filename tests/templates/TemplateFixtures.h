// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/FileUtil.h"
#include "templates/PolicySetting.h"
#include "templates/TemplateFolders.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace tavimor::test {

inline QString firefoxTemplates() {
    return QStringLiteral(TAVIMOR_SOURCE_DIR "/tests/templates/data/firefox");
}
// Debian's samba package ships its template here; scripts/setup.sh installs it.
inline QString sambaTemplates() {
    return QStringLiteral("/usr/share/samba/admx");
}

inline QByteArray admxText(const QByteArray& policies, const QByteArray& head = {}) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<policyDefinitions xmlns=\"http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions\" "
           "revision=\"1.0\" schemaVersion=\"1.0\">\n"
           "  <policyNamespaces><target prefix=\"test\" namespace=\"Tavimor.Test\"/></policyNamespaces>\n" +
           head + "  <policies>\n" + policies + "  </policies>\n</policyDefinitions>\n";
}

// A folder of template files made by the test: name -> content, "en-US/x.adml" for a language's file.
class TemplateFolder {
public:
    void write(const QString& name, const QByteArray& content) {
        const QString path = m_dir.filePath(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        ASSERT_TRUE(writeFileAtomically(path, content));
    }
    QString path() const { return m_dir.path(); }
    TemplateSet load(const QString& language = QStringLiteral("en-US")) const {
        return TemplateFolders::load({path()}, language);
    }

private:
    QTemporaryDir m_dir;
};

} // namespace tavimor::test
