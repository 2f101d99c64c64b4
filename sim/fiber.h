// sim/fiber.h -- stackful fibres for the simulated script hook: Windows fibres on Windows, a
// hand-written register switch on x86-64 elsewhere (ucontext on other CPUs). Only one side of a
// switch ever runs at a time; there are no threads.
#pragma once

#include <cstddef>
#include <memory>

class Fiber {
public:
    using Entry = void (*)(void* arg);

    // The context the calling thread runs in now, to switch back to.
    static std::unique_ptr<Fiber> ForCurrentThread();
    // A new fibre that runs entry(arg) on its own stack once switched to. entry must never
    // return: it ends by switching away for good.
    static std::unique_ptr<Fiber> Create(size_t stackBytes, Entry entry, void* arg);

    virtual ~Fiber() = default;
    // Saves the running context into this fibre and resumes target.
    virtual void SwitchTo(Fiber& target) = 0;
};
