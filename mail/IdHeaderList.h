#pragma once
#include <string>
#include <string_view>
#include <vector>

// The header lines of a message: a header is a line "name: value" followed by any
// continuation lines, which begin with a space or a TAB. No line holds CR or LF.
class TIdHeaderList {
  public:
    std::string SeparatorText = ": ";
    bool JoinContinuations = true;
    bool FoldLongLines = true;
    int FoldColumn = 78; // RFC 5322 recommends lines of at most 78 characters
    // The code page of the texts, so a fold never falls inside a two-byte character.
    int CodePage = 1252;

    // Sets a header: replaces the first line of that name (any letter case) and its
    // continuations in place, or appends it; an empty value removes it. Line breaks in the
    // value become folds, so it can never start a header line of its own; blank pieces
    // are dropped. With FoldLongLines the line is also folded at FoldColumn.
    // Throws EIdException for a name that is empty or holds a colon, a blank or a control
    // byte.
    void PutHeader(std::string_view name, std::string_view value);

    // The value of the first header of that name, its continuations joined by one space
    // when JoinContinuations; empty when there is none.
    std::string HeaderValue(std::string_view name) const;

    // Index of the first line whose name (the text before its colon) equals name in any
    // letter case, or -1.
    int FindHeader(std::string_view name) const;

    // Deletes the continuation lines that follow the line at index.
    void RemoveContinuations(int index);

    // Appends one line as it is. Throws EIdException when it holds CR or LF.
    void Add(std::string_view line);
    void Insert(int index, std::string_view line);
    void Delete(int index);
    void Clear() { lines_.clear(); }

    int Count() const { return static_cast<int>(lines_.size()); }
    const std::string& operator[](int index) const {
        return lines_.at(static_cast<std::size_t>(index));
    }
    const std::vector<std::string>& Lines() const { return lines_; }
    auto begin() const { return lines_.begin(); }
    auto end() const { return lines_.end(); }

  private:
    std::vector<std::string> FoldedLines(std::string_view name, std::string_view value) const;

    std::vector<std::string> lines_;
};

// Inserts breakText into s so that lines end, once maxCol characters have been passed,
// after the last of breakChars seen outside double quotes (a backslash in quotes escapes
// the next character). Occurrences of breakText and
// of CR LF followed by a space or TAB already in s count as breaks; the trail byte of a
// double-byte character (code page codePage) is never taken for a break character.
std::string WrapForFolding(std::string_view s, std::string_view breakText,
                           std::string_view breakChars, int maxCol, int codePage);
