// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>

namespace tavimor {

class ErrorHandler;
class ProgramContext;
class SettingsStore;

inline constexpr auto kPasswordKey = "quorvel";
inline constexpr int kMaxPasswordLength = 10;

// Stores the administrator password: "" as it is, anything else as a salted hash. false when it
// could not be stored; the failure has gone to the error handler and the stored password is as it was.
bool MyPwdWrite(ProgramContext& context, const QString& sPwd);
bool MyPwdWrite(SettingsStore& settings, ErrorHandler& errors, const QString& sPwd);
// The stored password as passwordMatches takes it: "" for the empty password, else a hash (or the
// enciphered text an earlier version stored). The password itself cannot be had back from it. nullopt
// when the store failed or holds a password that is damaged (reported to the error handler): no
// password may be taken as right then.
std::optional<QString> MyPwdRead(ProgramContext& context);
std::optional<QString> MyPwdRead(const SettingsStore& settings, ErrorHandler& errors);
// Whether an entered password (right-trimmed as the dialog returns it) is the stored one, compared in
// time that does not depend on where they differ.
bool passwordMatches(const QString& entered, const QString& stored);
// Removes trailing spaces only, as the password dialog does.
QString trimTrailingSpaces(const QString& text);

} // namespace tavimor
