// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/FileUtil.h"
#include "catalogue/BuiltinCatalogue.h"
#include "catalogue/CatalogueFiles.h"
#include "settings/Cipher.h"

#include <QString>
#include <cstdio>

// Writes the built-in catalogue as a settings file: the default one laid out with the program.
int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: tavimor_mkdefault FILE.rds\n", stderr);
        return 2;
    }
    using namespace tavimor;
    QString error;
    const std::optional<QByteArray> content =
        CatalogueFiles::settingsFileContent(builtinCatalogueText().toUtf8(), cataloguePassPhrase(), &error);
    if (!content || !writeFileAtomically(QString::fromLocal8Bit(argv[1]), *content, &error)) {
        std::fprintf(stderr, "tavimor_mkdefault: %s: %s\n", argv[1], error.toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
