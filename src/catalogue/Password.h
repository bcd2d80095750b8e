// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>

namespace tavimor {

class ProgramContext;

inline constexpr auto kPasswordKey = "quorvel";
inline constexpr int kMaxPasswordLength = 10;

// Stores the administrator password: "" as it is, anything else enciphered. false when the store
// failed; the failure has gone to the error handler.
bool MyPwdWrite(ProgramContext& context, const QString& sPwd);
// The stored password in clear, right-trimmed; a text that does not decipher reads as "". nullopt
// when the store failed (reported to the error handler): no password may be taken as right then.
std::optional<QString> MyPwdRead(ProgramContext& context);
// Compares an entered password (right-trimmed as the dialog returns it) with the stored one
// in time that does not depend on where they differ.
bool passwordMatches(const QString& entered, const QString& stored);
// Removes trailing spaces only, as the password dialog does.
QString trimTrailingSpaces(const QString& text);

} // namespace tavimor
