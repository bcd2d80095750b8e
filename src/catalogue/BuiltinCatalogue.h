// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace tavimor {

// The two pieces of text of the catalogue built into the program; the document is the first
// immediately followed by the second.
const QString& txtInitialXML1();
const QString& txtInitialXML2();
QString builtinCatalogueText(); // txtInitialXML1() + txtInitialXML2()
// The same document as UTF-8, as a settings file holds it.
QByteArray builtinCatalogueUtf8();

} // namespace tavimor
