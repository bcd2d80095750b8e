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
// that is no number give 0, and bits above Z: are dropped.
quint32 readDriveMask(MSDNRegistry& registry, ErrorHandler& errors);
// Creates the key and writes the low 26 bits as REG_DWORD.
void writeDriveMask(MSDNRegistry& registry, quint32 mask, ErrorHandler& errors);
// The bit of drive letter A+index, as the dialog computes it.
quint32 driveBit(int index, ErrorHandler& errors);

// "ACZ" for A:, C: and Z:; "" for none.
QString driveLetters(quint32 mask);
// Reads "ACZ", "a,c,z", "A: C: Z:" or "none"; nullopt for anything else.
std::optional<quint32> parseDriveLetters(const QString& text);

} // namespace tavimor
