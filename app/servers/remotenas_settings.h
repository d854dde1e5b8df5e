// The "Remote NAS List" section of the program's INI file, which the main window's settings
// loader and saver read and write: "NASNumber", then "NAS<n>" (the entry's name, for a person
// reading the file) and "IP<n>" (its dotted address) for n from 1, head first.
#pragma once

class TForm_RemoteNAS;
namespace vcl {
class TIniFile;
}

inline constexpr char kRemoteNasSection[] = "Remote NAS List";

// Hands each stored address to TForm_RemoteNAS::AddEntry, from the highest number down, so that
// the list keeps the file's order. The file is untrusted: an address that is not dotted IPv4 is
// skipped, and no more numbers are read than the section has keys.
void LoadRemoteNasSettings(const vcl::TIniFile& ini, TForm_RemoteNAS& list);
// Writes every entry from the head, numbered from 1, then the number written. Line breaks in a
// unit's name are written as blanks (a value holds one line).
void SaveRemoteNasSettings(vcl::TIniFile& ini, const TForm_RemoteNAS& list);
