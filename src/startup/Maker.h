// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace tavimor {

// The maker's names and addresses; all of them are fictional.
inline constexpr auto kMakerName = "Quillmoor";
inline constexpr auto kMakerCompany = "Quorvel Software Works";
inline constexpr auto kMakerCompanySite = "https://www.quorvel.example.com/";
inline constexpr auto kMakerProductSite = "https://tavimor.quillmoor.example.org/";
inline constexpr auto kMakerSupportMail = "support@quillmoor.example.com";
inline constexpr auto kMakerErrorMail = "errors@quillmoor.example.com";

} // namespace tavimor
