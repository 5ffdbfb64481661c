#include "mail/IdHeaderList.h"
#include "mail/IdTexts.h"

#include <algorithm>
#include <stdexcept>

#include "text/CodePage.h"
#include "mail/IdException.h"

namespace {

constexpr std::string_view FoldBreak = "\r\n ";
constexpr std::string_view FoldChars = "\t ,";

bool IsBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

bool IsLineBreak(char c) {
    return c == '\r' || c == '\n';
}

bool IsFoldSpace(char c) {
    return c == ' ' || c == '\t';
}

std::string Trim(std::string_view s) {
    auto first = std::find_if_not(s.begin(), s.end(), IsBlankOrControl);
    auto last = std::find_if_not(s.rbegin(), s.rend(), IsBlankOrControl).base();
    return first < last ? std::string(first, last) : std::string();
}

std::string_view TrimRightBlanks(std::string_view s) {
    while (!s.empty() && IsFoldSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

bool IsBlank(std::string_view s) {
    return std::all_of(s.begin(), s.end(), IsFoldSpace);
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

bool IsContinuation(std::string_view line) {
    return !line.empty() && IsFoldSpace(line.front());
}

void RefuseLineBreaks(std::string_view line) {
    if (std::any_of(line.begin(), line.end(), IsLineBreak))
        throw EIdException("A header line cannot hold a line break");
}

// Splits a text at every run of CR and LF bytes, whatever their order, so that a value
// typed or pasted with line breaks is kept as folded pieces and never ends a header line.
std::vector<std::string_view> SplitAtLineBreaks(std::string_view s) {
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    for (;;) {
        const auto end = s.find_first_of("\r\n", start);
        pieces.push_back(s.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos)
            return pieces;
        start = s.find_first_not_of("\r\n", end);
        if (start == std::string_view::npos)
            start = s.size();
    }
}

// The value with every line break turned into a fold (CR LF and a space or TAB) followed
// by text; pieces that are blank are dropped, since a blank line would end the header.
std::string NormalizeBreaks(std::string_view value) {
    std::string out;
    for (std::string_view piece : SplitAtLineBreaks(value)) {
        piece = TrimRightBlanks(piece);
        if (IsBlank(piece))
            continue;
        if (!out.empty()) {
            out += "\r\n";
            if (!IsFoldSpace(piece.front()))
                out += ' ';
        }
        out += piece;
    }
    return out;
}

} // namespace

std::string WrapForFolding(std::string_view s, std::string_view breakText,
                           std::string_view breakChars, int maxCol, int codePage) {
    const auto n = static_cast<std::ptrdiff_t>(s.size());
    auto at = [&](std::ptrdiff_t i) { return s[static_cast<std::size_t>(i)]; };
    auto isBreakChar = [&](char c) { return breakChars.find(c) != std::string_view::npos; };
    std::string result;
    std::ptrdiff_t pos = 0, linePos = 0, breakPos = -1, col = 1;
    bool inQuotes = false, existingBreak = false;
    while (pos < n) {
        const char c = at(pos);
        if (veldrano::IsLeadByte(codePage, static_cast<unsigned char>(c))) {
            ++pos; // the trail byte is stepped over below
            ++col;
        } else if (!breakText.empty() && c == breakText.front()) {
            if (!inQuotes) {
                const auto rest = s.substr(static_cast<std::size_t>(pos));
                if (SameIgnoringCase(rest.substr(0, breakText.size()), breakText)) {
                    existingBreak = true;
                    pos += static_cast<std::ptrdiff_t>(breakText.size()) - 1;
                } else if (rest.size() > 2 && rest.starts_with("\r\n") && IsFoldSpace(rest[2])) {
                    // An encoded-word split (CR LF TAB) is a fold already.
                    existingBreak = true;
                    pos += 1;
                }
                if (existingBreak)
                    breakPos = pos;
            }
        } else if (isBreakChar(c)) {
            if (!inQuotes)
                breakPos = pos;
        } else if (c == '"') {
            inQuotes = !inQuotes;
        } else if (c == '\\' && inQuotes) {
            ++pos; // an escaped quote does not end the quoted string
            ++col;
        }
        ++pos;
        ++col;
        if (!inQuotes && (existingBreak || (col > maxCol && breakPos > linePos))) {
            col = pos - breakPos;
            result.append(s.substr(static_cast<std::size_t>(linePos),
                                   static_cast<std::size_t>(breakPos - linePos + 1)));
            if (c != '"')
                while (pos < n && (isBreakChar(at(pos)) || IsLineBreak(at(pos))))
                    ++pos;
            if (!existingBreak && pos < n - 1)
                result.append(breakText);
            linePos = ++breakPos;
            existingBreak = false;
        }
    }
    if (linePos < n)
        result.append(s.substr(static_cast<std::size_t>(linePos)));
    return result;
}

std::vector<std::string> TIdHeaderList::FoldedLines(std::string_view name,
                                                    std::string_view value) const {
    std::string line = std::string(name) + SeparatorText + NormalizeBreaks(value);
    if (FoldLongLines)
        line = WrapForFolding(line, FoldBreak, FoldChars, FoldColumn, CodePage);
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const auto end = line.find("\r\n", start);
        const auto piece = TrimRightBlanks(std::string_view(line).substr(start, end - start));
        // Wrapping next to an existing fold can leave a piece of blanks only.
        if (lines.empty() || !IsBlank(piece))
            lines.emplace_back(piece);
        if (end == std::string::npos)
            break;
        start = end + 2;
    }
    // A fold right after the name would make the value begin with a blank, which readers
    // keep: the first piece stays on the name's line, however long.
    if (lines.size() > 1 &&
        lines[0] == std::string(name) + std::string(TrimRightBlanks(SeparatorText))) {
        const std::string_view first = lines[1];
        lines[0] = std::string(name) + SeparatorText +
                   std::string(first.substr(first.find_first_not_of(" \t")));
        lines.erase(lines.begin() + 1);
    }
    return lines;
}

void TIdHeaderList::PutHeader(std::string_view name, std::string_view value) {
    if (name.empty() || std::any_of(name.begin(), name.end(), [](char c) {
            return c == ':' || static_cast<unsigned char>(c) <= ' ' ||
                   static_cast<unsigned char>(c) >= 0x7F;
        }))
        throw EIdException(IdTexts::InvalidHeaderName);
    int i = FindHeader(name);
    if (value.empty()) {
        if (i != -1) {
            RemoveContinuations(i);
            Delete(i);
        }
        return;
    }
    if (i == -1) {
        lines_.emplace_back();
        i = Count() - 1;
    }
    // Old continuations would otherwise be read as part of the new value.
    RemoveContinuations(i);
    const auto folded = FoldedLines(name, value);
    const auto at = lines_.begin() + i;
    *at = folded.front();
    lines_.insert(at + 1, folded.begin() + 1, folded.end());
}

std::string TIdHeaderList::HeaderValue(std::string_view name) const {
    const int i = FindHeader(name);
    if (i == -1)
        return {};
    std::string value =
        Trim(std::string_view(lines_[static_cast<std::size_t>(i)]).substr(name.size() + 1));
    if (!JoinContinuations)
        return value;
    for (auto line = lines_.begin() + i + 1; line != lines_.end() && IsContinuation(*line); ++line)
        value = Trim(value) + " " + Trim(*line);
    return value;
}

int TIdHeaderList::FindHeader(std::string_view name) const {
    std::string_view separator = TrimRightBlanks(SeparatorText);
    if (separator.empty())
        separator = ":";
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const auto end = lines_[i].find(separator);
        const std::string_view lineName = end == std::string::npos
                                              ? std::string_view()
                                              : std::string_view(lines_[i]).substr(0, end);
        if (SameIgnoringCase(lineName, name))
            return static_cast<int>(i);
    }
    return -1;
}

void TIdHeaderList::RemoveContinuations(int index) {
    if (index < 0 || index >= Count())
        return;
    const auto first = lines_.begin() + index + 1;
    lines_.erase(first, std::find_if_not(first, lines_.end(), IsContinuation));
}

void TIdHeaderList::Add(std::string_view line) {
    RefuseLineBreaks(line);
    lines_.emplace_back(line);
}

void TIdHeaderList::Insert(int index, std::string_view line) {
    RefuseLineBreaks(line);
    if (index < 0 || index > Count())
        throw std::out_of_range("header list index out of range");
    lines_.emplace(lines_.begin() + index, line);
}

void TIdHeaderList::Delete(int index) {
    if (index < 0 || index >= Count())
        throw std::out_of_range("header list index out of range");
    lines_.erase(lines_.begin() + index);
}
