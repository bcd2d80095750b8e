# SPDX-License-Identifier: GPL-3.0-or-later
# What the program is, in the words the package, the AppStream data, the man pages and the menu
# entry all use: one text, so they cannot drift apart.
set(TAVIMOR_SUMMARY "switch Windows policy restrictions on and off")
set(TAVIMOR_DESCRIPTION_LINES
  "Tavimor switches Windows policy restrictions, such as removing the Run dialog,"
  "on and off without editing the registry by hand. It edits Wine prefixes,"
  "offline Windows 2000 to 11 installations, Group Policy files (Registry.pol)"
  "and Samba domain GPOs, reads Windows 95/98/Me disks, and sets the policies of"
  "Administrative Templates (ADMX/ADML) as well as its own 57 restrictions."
  "Settings are kept in enciphered settings files, and an administrator"
  "password guards the program. tavimorctl does the same work from a terminal.")
# Lines as they are for the package, one line for the AppStream paragraph and the man pages (a list
# element each: no semicolons in the text).
string(JOIN "\n" TAVIMOR_DESCRIPTION ${TAVIMOR_DESCRIPTION_LINES})
string(JOIN " " TAVIMOR_DESCRIPTION_LINE ${TAVIMOR_DESCRIPTION_LINES})
string(SUBSTRING "${TAVIMOR_SUMMARY}" 0 1 first)
string(TOUPPER "${first}" first)
string(SUBSTRING "${TAVIMOR_SUMMARY}" 1 -1 rest)
set(TAVIMOR_SUMMARY_SENTENCE "${first}${rest}")
