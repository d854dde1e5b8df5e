// TIniFile: a settings file of "[section]" headers and "key=value" lines, read and written with
// the lookup rules of the classic profile functions: section and key names ignore the case of
// ASCII letters, the first matching section and key win, names and values are trimmed of blanks
// and a value in matching quotes loses them. A missing or unreadable file reads as empty.
//
// Every Write, EraseSection and DeleteKey writes the file back at once (through a new file that
// replaces the old one), keeping every other line as it was; between BeginUpdate and EndUpdate
// the changes are kept and written once, at EndUpdate. The file is untrusted: lines of any
// length, NUL bytes and junk are tolerated; a value reads at most 2047 bytes; a file above 16 MiB,
// or one that is no regular file (a pipe, a device, a folder: refused without waiting on it),
// reads as empty and is never written over (Loaded and Writable tell the caller, who tells the
// user). Nothing is written that would make the file larger than 16 MiB, which its next reading
// would refuse: such a write raises EIniFileTooLarge and the file stays as it was. Lookups and
// listings cost a logarithm of the names per name, never a pass per name.
#pragma once

#include "vcl/component.h"
#include "vcl/exception.h"
#include "vcl/string_list.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace vcl {

class TIniFile : public TObject {
public:
    // Reads the file now.
    explicit TIniFile(std::string fileName);
    ~TIniFile() override;

    const std::string& FileName() const { return fileName_; }

    // What reading the file at construction found. A file that was too large or unreadable
    // reads as empty and is never written: every write raises EIniFileException.
    enum class LoadResult { Read, Missing, TooLarge, NotRegular, Unreadable };
    LoadResult Loaded() const;
    bool Writable() const;
    static constexpr std::size_t MaxFileSize = 16u << 20;

    std::string ReadString(std::string_view section, std::string_view ident,
                           std::string_view defaultValue) const;
    // A decimal or hexadecimal ("$1F", "0x1F") value in the 32-bit range, else the default.
    int ReadInteger(std::string_view section, std::string_view ident, int defaultValue) const;
    // ReadInteger(...) != 0.
    bool ReadBool(std::string_view section, std::string_view ident, bool defaultValue) const;

    // Adds or replaces the key; the section is appended when missing. Raises EIniFileException
    // when the file cannot be written, or for a section or key that is empty or holds a line
    // break, a key holding '=', or a value holding a line break.
    void WriteString(std::string_view section, std::string_view ident, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view ident, int value);
    void WriteBool(std::string_view section, std::string_view ident, bool value);

    // The key names of the section in file order (a repeated key once), replacing the list.
    void ReadSection(std::string_view section, TStringList& idents) const;
    // The section names in file order (a repeated section once), replacing the list.
    void ReadSections(TStringList& sections) const;
    // Removes every section of that name with its lines.
    void EraseSection(std::string_view section);
    // Removes every line of the key in the sections of that name.
    void DeleteKey(std::string_view section, std::string_view ident);
    // A section exists when it holds at least one key.
    bool SectionExists(std::string_view section) const;
    bool ValueExists(std::string_view section, std::string_view ident) const;
    // Writes the file (all changes are written already; kept for callers that flush).
    void UpdateFile();

    // Changes made between BeginUpdate and the EndUpdate that closes it (brackets nest) are
    // written once, by that EndUpdate; when the write fails, it raises and the content goes back
    // to what it was at BeginUpdate, as the file still is. CancelUpdate closes the bracket without
    // writing and puts that content back.
    void BeginUpdate();
    void EndUpdate();
    void CancelUpdate();

private:
    struct Content;
    // A copy of the content for Commit to go back to; none inside a bracket.
    std::unique_ptr<Content> Snapshot() const;
    // Writes the file (at the end of the bracket when inside one); on failure puts the content
    // back to before and raises.
    void Commit(std::unique_ptr<Content> before);
    void Save();

    std::string fileName_;
    std::unique_ptr<Content> content_;
    int updateCount_ = 0;
    std::unique_ptr<Content> beforeUpdate_; // the content at the outermost BeginUpdate
};

// A write that would make the settings file larger than TIniFile::MaxFileSize: refused, the file
// kept as it was.
class EIniFileTooLarge : public EIniFileException {
public:
    using EIniFileException::EIniFileException;
};

} // namespace vcl
