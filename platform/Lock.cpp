#include "Lock.h"

#include <atomic>

namespace Corvane::Common
{

namespace
{
// A function-local static, so that locks created by other static initialisers see the counter
// already constructed.
std::atomic<int32_t>& LockCounter()
{
    static std::atomic<int32_t> counter{0};
    return counter;
}
} // namespace

CLock::CLock() : Id(LockCounter().fetch_add(1)) {}

} // namespace Corvane::Common
