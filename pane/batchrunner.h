#pragma once
// Runs a batch of independent box updates and returns when all of them are done. The
// all-box updates of the slider routing go through it, so the animation's task ring can
// take the work over without the routing knowing.
#include <functional>
#include <vector>

class VerdixBatchRunner
{
public:
    virtual ~VerdixBatchRunner() = default;
    virtual void runAndWait(const std::vector<std::function<void()>>& tasks) = 0;
};

// The default: the animation task ring (bounded by the processor count), all tasks awaited.
class VerdixPoolRunner : public VerdixBatchRunner
{
public:
    void runAndWait(const std::vector<std::function<void()>>& tasks) override;
};
