#pragma once

#include <string>

namespace Corvane::Common
{

// UTF-8 and the wide text of the Windows interfaces, one into the other. Windows only.
std::wstring Widen(const std::string& text);
std::string Narrow(const std::wstring& text);

} // namespace Corvane::Common
