#pragma once
// Access to a Windows-style INI file: "[Section]" lines followed by
// "key=value" lines.
//
// - Section and key names compare ignoring letter case. Only ASCII letters
//   are folded: names in our settings are command names, backend ids and
//   path prefixes, and the path translation does its own Unicode-aware
//   comparison on top of the raw key text.
// - Blanks (spaces and tabs) around names and values are not significant.
//   One pair of matching quotes (" or ') around a value is not part of it, as
//   for the Windows reader; a value that would lose blanks or quotes that way
//   is written inside one more pair of double quotes.
// - Files in UTF-8 (with or without a byte order mark) and in UTF-16 with a
//   byte order mark (either byte order) are read; lines end in CR LF, LF or
//   CR. Names and values are UTF-8 here whatever the file's encoding.
// - A section may appear more than once; its keys are read from all of its
//   occurrences, the first occurrence of a key wins.
// - Lines that are neither section headers nor key lines (comments starting
//   with ';' or '#', junk, blank lines) are kept as they are on rewrite, and
//   so are the file's encoding with its byte order mark and its line-end
//   style, taken from its first line end (CR LF for a new file).
//
// The file is opened for each operation and released at its end; nothing is
// cached between calls. A missing or unreadable file reads as empty.
// Every write replaces the whole file through SafeSave, so a failed write
// leaves the previous file as it was. Writes throw TException with a message
// naming the file; a file that exists but cannot be read is not overwritten
// (that would lose its contents).
//
// Threads: one TIniFile per thread; the file itself is not locked against
// other processes.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class TIniFile {
public:
    using TKeyValues = std::vector<std::pair<std::string, std::string>>;

    explicit TIniFile(std::string fileName);

    const std::string& FileName() const { return m_fileName; }

    // Section names in file order, each once.
    std::vector<std::string> ReadSections() const;
    // Key names of a section in file order, each once; empty for a missing
    // section.
    std::vector<std::string> ReadSection(const std::string& section) const;
    // (key, value) pairs of a section in file order, as ReadSection and
    // ReadString would give them, from one reading of the file.
    TKeyValues ReadSectionValues(const std::string& section) const;
    bool ValueExists(const std::string& section, const std::string& key) const;

    // The value, or fallback when the key is missing. A key with an empty
    // value reads as the empty text.
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& fallback) const;
    // The value as a decimal integer (optional sign, blanks around it
    // allowed), or fallback when the key is missing, the text is not a
    // number or does not fit in 32 bits.
    int32_t ReadInteger(const std::string& section, const std::string& key, int32_t fallback) const;

    // Sets one key (adding the section or the key when missing) and rewrites
    // the file. Throws TException for a name or value that would not read
    // back (line breaks, '=' or ']' in names, empty names) and when the file
    // cannot be written.
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, int32_t value);
    // Sets several keys of one section in a single rewrite: either all of
    // them reach the file or none does.
    void WriteStrings(const std::string& section, const TKeyValues& values);

private:
    std::string m_fileName;
};
