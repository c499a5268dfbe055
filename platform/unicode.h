// UTF-16 to UTF-8, with no Windows calls: the program keeps its file paths as
// UTF-8, and the wide text Windows hands it (dialogs, the command line) comes
// through here.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace harkwell::platform {

// Nothing when `text` holds a lone surrogate, which no UTF-8 text can carry.
std::optional<std::string> Utf16ToUtf8(std::u16string_view text);

}  // namespace harkwell::platform
