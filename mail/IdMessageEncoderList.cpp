#include "mail/IdMessageEncoderList.h"

#include "mail/IdGlobal.h"

#include <map>

const TIdMessageEncoderList::Factory* TIdMessageEncoderList::FindEncoder(const std::string& name) {
    static const std::map<std::string, Factory> registry = {
        {"MIME", [] { return std::unique_ptr<TIdEncoder>(new TIdEncoderMIME()); }}};
    const auto found = registry.find(UpperAscii(name));
    return found == registry.end() ? nullptr : &found->second;
}
