#include "mail/IdEMailAddress.h"
#include "mail/IdTexts.h"
#include "mail/IdGlobal.h"

#include <algorithm>
#include <stdexcept>

namespace {

bool IsBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

// Removes leading and trailing spaces and control characters.
std::string Trim(std::string_view s) {
    auto first = std::find_if_not(s.begin(), s.end(), IsBlankOrControl);
    auto last = std::find_if_not(s.rbegin(), s.rend(), IsBlankOrControl).base();
    return first < last ? std::string(first, last) : std::string();
}

std::string TrimLeft(std::string_view s) {
    return std::string(std::find_if_not(s.begin(), s.end(), IsBlankOrControl), s.end());
}

// Removes leading and trailing spaces and TABs only.
std::string TrimBlanks(std::string_view s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return std::string(s.substr(first, s.find_last_not_of(" \t") - first + 1));
}

bool IsAtomChar(char c) {
    static constexpr std::string_view Others = "!#$%&'*+-/=?_{}|~`";
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           Others.find(c) != std::string_view::npos;
}

std::string EscapeQuoted(std::string_view s) {
    std::string out;
    for (char c : s) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out;
}

// The address part of an item's Text.
std::string AddressPart(const TIdEMailAddressItem& item) {
    if (item.Address.empty())
        return item.Name.empty() ? "" : "<>";
    const auto at = item.Address.rfind('@');
    const std::string local = at == std::string::npos ? "" : item.Address.substr(0, at);
    const std::string domain = at == std::string::npos ? "" : item.Address.substr(at);
    const auto odd = std::find_if_not(local.begin(), local.end(), IsAtomChar);
    if (odd != local.end() && *odd != '.')
        return "<\"" + EscapeQuoted(local) + "\"" + domain + ">";
    return item.Name.empty() ? local + domain : "<" + local + domain + ">";
}

// Writing an item's Text: a scanner over the remaining text S that looks for the earliest
// delimiter of the set that fits its state and acts on it.
class AddressParser {
  public:
    explicit AddressParser(TIdEMailAddressItem& item) : item_(item) {}

    void Run(std::string_view text) {
        s_ = Trim(text);
        if (s_.empty())
            return;
        if (s_.find_first_of("(\" <@\t") == std::string::npos) {
            item_.Address = s_;
            return;
        }
        for (auto p = s_.find_first_of(Delimiters()); p != std::string::npos;
             p = s_.find_first_of(Delimiters()))
            Act(p);
        if (inAddress_ && !angleSeen_)
            item_.Address += TrimBlanks(Trim(s_));
    }

  private:
    std::string_view Delimiters() const {
        if (depth_ > 0)
            return "()\\";
        if (inQuotes_)
            return "\"\\";
        if (atSeen_ && angleSeen_)
            return ".>(";
        if (atSeen_)
            return ".( ";
        if (inAddress_)
            return "\"(@>";
        return "(\" <@\t";
    }

    void DropThrough(std::size_t p) { s_.erase(0, p + 1); }

    void Act(std::size_t p) {
        const std::string before = s_.substr(0, p);
        switch (s_[p]) {
        case ' ':
        case '\t':
            Blank(p, before);
            break;
        case '"':
            Quote(p, before);
            break;
        case '(':
            OpenComment(p, before);
            break;
        case ')':
            DropThrough(p);
            --depth_;
            break;
        case '.':
            FullStop(p, before);
            break;
        case '<':
            item_.Name = TrimBlanks(Trim(item_.Name + before));
            angleSeen_ = inAddress_ = true;
            DropThrough(p);
            break;
        case '>':
            inAddress_ = atSeen_ = false;
            item_.Address += TrimBlanks(Trim(before));
            DropThrough(p);
            break;
        case '@':
            AtSign(p, before);
            break;
        case '\\':
            Backslash(p, before);
            break;
        }
    }

    void Blank(std::size_t p, const std::string& before) {
        if (p == 0) {
            s_.erase(0, 1);
            return;
        }
        if (atSeen_)
            item_.Address += Trim(before);
        else
            item_.Name += before + s_[p];
        DropThrough(p);
    }

    void Quote(std::size_t p, const std::string& before) {
        std::string& target = angleSeen_ ? item_.Address : item_.Name;
        if (inQuotes_) {
            target += Trim(before);
            inQuotes_ = false;
        } else {
            // A quote inside a word: what the user typed in front of it joins the quoted
            // text that follows, rather than being lost.
            target += before;
            inQuotes_ = true;
        }
        DropThrough(p);
    }

    void OpenComment(std::size_t p, const std::string& before) {
        if (p == 0) {
            s_.erase(0, 1);
        } else {
            if (inAddress_)
                item_.Address += Trim(before);
            else if (depth_ == 0)
                item_.Name += before;
            DropThrough(p);
        }
        ++depth_;
    }

    void FullStop(std::size_t p, const std::string& before) {
        if (angleSeen_) {
            item_.Address += TrimBlanks(Trim(before)) + ".";
            s_ = TrimLeft(std::string_view(s_).substr(p + 1));
        } else {
            item_.Address += before + ".";
            DropThrough(p);
        }
    }

    void AtSign(std::size_t p, const std::string& before) {
        atSeen_ = true;
        if (!inAddress_) {
            if (angleSeen_)
                throw EIdEmailParseError(IdTexts::AtOutsideAddress);
            inAddress_ = true;
        }
        item_.Address += before + "@";
        DropThrough(p);
    }

    void Backslash(std::size_t p, const std::string& before) {
        const bool hasNext = p + 1 < s_.size();
        if (inQuotes_) {
            std::string& target = inAddress_ ? item_.Address : item_.Name;
            target += before;
            if (hasNext)
                target += s_[p + 1];
        }
        DropThrough(hasNext ? p + 1 : p);
    }

    TIdEMailAddressItem& item_;
    std::string s_;
    bool inQuotes_ = false;
    bool inAddress_ = false;
    bool angleSeen_ = false;
    bool atSeen_ = false;
    int depth_ = 0;
};

bool ReadsBackEmpty(const TIdEMailAddressItem& item) {
    const std::string text = Trim(item.Text());
    return text.empty() || text == "<>";
}

// Adds an item for one address text of a list; one whose text reads back as nothing is
// removed again unless keepEmpty. A parse error leaves the item in the list.
void AddParsed(TIdEMailAddressList& list, std::string_view text, bool keepEmpty) {
    TIdEMailAddressItem& item = list.Add();
    item.SetText(text);
    if (!keepEmpty && ReadsBackEmpty(item))
        list.Delete(list.Count() - 1);
}

} // namespace

std::string TIdEMailAddressItem::Text() const {
    const std::string address = AddressPart(*this);
    if (Name.empty() || UpperAscii(Address) == Name)
        return address;
    if (std::all_of(Name.begin(), Name.end(), [](char c) { return c == ' ' || IsAtomChar(c); }))
        return Name + " " + address;
    return "\"" + EscapeQuoted(Name) + "\" " + address;
}

void TIdEMailAddressItem::SetText(std::string_view text) {
    Name.clear();
    Address.clear();
    AddressParser(*this).Run(text);
}

TIdEMailAddressItem& TIdEMailAddressList::Add() {
    items_.push_back(std::make_unique<TIdEMailAddressItem>());
    return *items_.back();
}

void TIdEMailAddressList::Delete(int index) {
    if (index < 0 || index >= Count())
        throw std::out_of_range("address list index out of range");
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
}

void ParseAddressList(TIdEMailAddressList& list, std::string_view text) {
    list.Clear();
    if (Trim(text).empty())
        return;
    if (text.find_first_of(":;(\", \t") == std::string_view::npos) {
        list.Add().SetText(TrimLeft(text));
        return;
    }
    std::string s(text);
    std::string cur;
    bool inQuotes = false;
    int depth = 0;
    for (;;) {
        const char* delimiters = depth > 0 ? "(\\)" : inQuotes ? "\"\\" : ":;(\", \t";
        const auto p = s.find_first_of(delimiters);
        if (p == std::string::npos)
            break;
        const char c = s[p];
        const std::string before = s.substr(0, p);
        std::size_t drop = p + 1;
        if (c == ',') {
            AddParsed(list, cur + before, false);
            cur.clear();
        } else if (c == ':') {
            cur.clear(); // a group name
        } else if (c == ';') {
            cur += before;
            if (!Trim(cur).empty()) {
                AddParsed(list, TrimLeft(cur), true);
                cur.clear();
            }
        } else if (c == '\\') {
            drop = std::min(p + 2, s.size());
            cur += s.substr(0, drop);
        } else {
            cur += s.substr(0, p + 1);
            if (c == '"')
                inQuotes = !inQuotes;
            else if (c == '(')
                ++depth;
            else if (c == ')')
                --depth;
        }
        s.erase(0, drop);
    }
    if (Trim(cur).empty() && Trim(s).empty())
        return;
    AddParsed(list, TrimLeft(cur + s), false);
}

std::string FormatAddressForHeader(const TIdEMailAddressItem& item,
                                   const THeaderEncoding& encoding) {
    if (item.Name.empty())
        return item.Address;
    const bool plain = std::all_of(item.Name.begin(), item.Name.end(), [](char c) {
        return static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7F;
    });
    if (!plain)
        return EncodeHeaderWords(item.Name, AddressSpecials, encoding) + " <" + item.Address + ">";
    return "\"" + EscapeQuoted(item.Name) + "\" <" + item.Address + ">";
}

std::string FormatAddressListForHeader(const TIdEMailAddressList& list,
                                       const THeaderEncoding& encoding) {
    std::string out;
    for (int i = 0; i < list.Count(); ++i) {
        if (i > 0)
            out += ", ";
        out += FormatAddressForHeader(list[i], encoding);
    }
    return out;
}
