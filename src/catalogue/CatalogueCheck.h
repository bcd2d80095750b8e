// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

namespace tavimor {

class XmlDocument;

// What is wrong with a catalogue for the program to use it: each problem names the entry
// and the element. Empty when the catalogue is complete.
QStringList checkCatalogue(const XmlDocument& catalogue);

} // namespace tavimor
