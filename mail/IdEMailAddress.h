#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mail/IdCoderHeader.h"
#include "mail/IdException.h"

// An address text that cannot be parsed.
class EIdEmailParseError : public EIdException {
  public:
    using EIdException::EIdException;
};

// One e-mail address: a display name and the address proper.
class TIdEMailAddressItem {
  public:
    std::string Name;
    std::string Address;

    // The whole address as one text: the name (quoted when it needs it) and the address,
    // in angle brackets when there is a name; a local part that is not a dot-atom is quoted.
    std::string Text() const;

    // Parses an address as a user types it: a bare address, a name and an address in
    // angle brackets, quotes and comments. Throws EIdEmailParseError "@ Outside address"
    // for an at sign after an address in angle brackets; Name and Address then hold what
    // was parsed up to there.
    void SetText(std::string_view text);
};

// An ordered list of addresses, indexed from 0. Items keep their place in memory until
// removed.
class TIdEMailAddressList {
  public:
    TIdEMailAddressItem& Add();
    void Delete(int index);
    void Clear() { items_.clear(); }
    int Count() const { return static_cast<int>(items_.size()); }
    TIdEMailAddressItem& operator[](int index) {
        return *items_.at(static_cast<std::size_t>(index));
    }
    const TIdEMailAddressItem& operator[](int index) const {
        return *items_.at(static_cast<std::size_t>(index));
    }

  private:
    std::vector<std::unique_ptr<TIdEMailAddressItem>> items_;
};

// Empties the list and fills it from a text of addresses separated by commas; groups
// ("name: a, b;") give their members. Throws EIdEmailParseError like SetText; the items
// parsed so far, the failing one included, stay in the list.
void ParseAddressList(TIdEMailAddressList& list, std::string_view text);

// The header text of one address: the bare address without a name; otherwise the name
// quoted, or as encoded words when it holds control or non-ASCII bytes, then " <address>".
std::string FormatAddressForHeader(const TIdEMailAddressItem& item,
                                   const THeaderEncoding& encoding);

// The header texts of the list's addresses joined by ", ".
std::string FormatAddressListForHeader(const TIdEMailAddressList& list,
                                       const THeaderEncoding& encoding);
