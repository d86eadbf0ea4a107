#include "Thread.h"

#include <utility>

namespace Corvane::Common
{

CThread::CThread(std::function<void()> body)
    : Handle(
          [this, task = std::move(body)]
          {
              task();
              Finished.store(true);
          })
{
}

CThread::~CThread()
{
    Join();
}

void CThread::Join()
{
    if (Handle.joinable())
        Handle.join();
}

} // namespace Corvane::Common
