#include "interchange/Interchange.h"

namespace veldrano {

void JoinValueLines(std::string& value) {
    if (FindAnyOf<'\r', '\n'>(value) == value.size())
        return;
    std::string joined;
    joined.reserve(value.size());
    for (size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '\r' && i + 1 < value.size() && value[i + 1] == '\n')
            continue; // the LF that follows stands for the pair
        joined += c == '\r' || c == '\n' ? ' ' : c;
    }
    value = std::move(joined);
}

} // namespace veldrano
