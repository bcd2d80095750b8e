// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>

namespace tavimor {

class ErrorHandler;
class MSDNRegistry;

inline constexpr auto kDrivesKeyPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
inline constexpr auto kDrivesValueName = "NoDrives";
inline constexpr int kDriveCount = 26;

// The hidden drive letters as NoDrives holds them; a missing value, another type or a text
// that is no number give 0, and bits above Z: are dropped. A value that could not be read gives 0
// too, and then *unread (when given) says why; it is "" otherwise.
quint32 readDriveMask(MSDNRegistry& registry, ErrorHandler& errors, QString* unread = nullptr);
// Creates the key and writes the low 26 bits as REG_DWORD.
void writeDriveMask(MSDNRegistry& registry, quint32 mask, ErrorHandler& errors);
// The bit of drive letter A+index, as the dialog computes it.
quint32 driveBit(int index, ErrorHandler& errors);

// "ACZ" for A:, C: and Z:; "" for none.
QString driveLetters(quint32 mask);
// Reads a list of drive letters separated by commas or blanks, each a letter ("a"), a letter
// with a colon ("A:") or a range ("A-C", "A:-C:"), or one of the words "none" and "all".
// nullopt with *error set (one line) for anything else: a word such as "off" is not read as O: F:.
std::optional<quint32> parseDriveLetters(const QString& text, QString* error = nullptr);

} // namespace tavimor
