#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace Corvane::Common
{

// A thread record: the body runs on its own thread; the finished flag is set once the body has
// returned.
class CThread
{
public:
    explicit CThread(std::function<void()> body);
    ~CThread();
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    bool IsRunning() const { return Handle.joinable(); }
    bool IsFinished() const { return Finished.load(); }
    void Join();

private:
    std::atomic<bool> Finished{false};
    std::thread Handle;
};

} // namespace Corvane::Common
