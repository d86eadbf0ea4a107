#pragma once

#include "FirstPass.h"

#include <optional>

namespace Corvane::Common
{

// Finds the usable cards, chooses one (by serial number, by index, as the only candidate, or from
// the card menu), chooses the board profile and opens the card as CurrentCard. Returns nothing
// when the card is open; otherwise the exit code of a run that ends here (its message printed).
std::optional<int> SelectAndOpenCard(const FirstPassOptions& options);

} // namespace Corvane::Common
