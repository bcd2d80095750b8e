// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/BuiltinCatalogue.h"

#include <QByteArray>

namespace tavimor::test {

// The built-in catalogue with 5 MiB more in each of its first ten descriptions: its settings file
// would be over 65 MiB, more than any reader opens. (libxml2 takes at most 10 MB in one text.)
inline QByteArray largeCatalogueText() {
    QByteArray text = builtinCatalogueText().toUtf8();
    qsizetype at = 0;
    for (int i = 0; i < 10; ++i) {
        at = text.indexOf("<![CDATA[", text.indexOf("<DESCRIPTION>", at)) + 9;
        text.insert(at, QByteArray(5 << 20, 'x'));
    }
    return text;
}

} // namespace tavimor::test
