#pragma once

namespace Corvane::Common
{

// "/status": asks for the card's status record once (ST? or SX?, as its board profile says),
// prints it as the console does and ends as soon as it is printed. -1 with one line when no
// record comes, when it stops halfway, or when no board profile was chosen.
int ReadStatusOnce();

} // namespace Corvane::Common
