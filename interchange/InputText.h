#pragma once
#include <string>
#include <string_view>

namespace veldrano {

// The text of a file another program exported, without its byte-order mark: UTF-16 with a
// mark becomes UTF-8 (in `storage`), anything else is returned as it stands. Throws
// InterchangeError for UTF-16 that does not decode.
std::string_view WithoutByteOrderMark(std::string_view bytes, std::string& storage);

// `text` as UTF-8: as it stands when it is UTF-8, else read as Windows-1252, the code page
// of the exporters that write no UTF-8 (into `storage`). Throws InterchangeError naming the
// line of a byte Windows-1252 does not define.
std::string_view Utf8OrWindows1252(std::string_view text, std::string& storage);

} // namespace veldrano
