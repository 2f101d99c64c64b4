// sim/fiber.cpp -- the three fibre back ends behind sim/fiber.h.
#include "sim/fiber.h"

#include <cstdint>
#include <cstdlib>

#if defined(_WIN32)
#include <windows.h>

namespace {
class WinFiber final : public Fiber {
public:
    WinFiber(void* handle, bool owned) : handle_(handle), owned_(owned) {}
    ~WinFiber() override
    {
        if (owned_)
            DeleteFiber(handle_);
    }
    void SwitchTo(Fiber& target) override { SwitchToFiber(static_cast<WinFiber&>(target).handle_); }

private:
    void* handle_;
    bool owned_;
};

struct StartArgs {
    Fiber::Entry entry;
    void* arg;
};

void CALLBACK WinFiberStart(void* param)
{
    StartArgs args = *static_cast<StartArgs*>(param);
    delete static_cast<StartArgs*>(param);
    args.entry(args.arg);
}
}  // namespace

std::unique_ptr<Fiber> Fiber::ForCurrentThread()
{
    void* current = IsThreadAFiber() ? GetCurrentFiber() : ConvertThreadToFiber(nullptr);
    return std::make_unique<WinFiber>(current, false);
}

std::unique_ptr<Fiber> Fiber::Create(size_t stackBytes, Entry entry, void* arg)
{
    void* handle = CreateFiber(stackBytes, &WinFiberStart, new StartArgs{entry, arg});
    if (handle == nullptr)
        std::abort();
    return std::make_unique<WinFiber>(handle, true);
}

#elif defined(__x86_64__)

// AddressSanitizer must be told about every stack switch, or it takes the other stack's frames
// for overflows. Compiled away without it.
#if defined(__SANITIZE_ADDRESS__)
#define QV_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QV_ASAN 1
#endif
#endif
#ifdef QV_ASAN
#include <sanitizer/common_interface_defs.h>
#endif
// ThreadSanitizer keeps a shadow stack and happens-before state per fibre; it has to be told
// which fibre runs, or it takes a switch for a thread returning from calls it never made.
#if defined(__SANITIZE_THREAD__)
#define QV_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QV_TSAN 1
#endif
#endif
#ifdef QV_TSAN
#include <sanitizer/tsan_interface.h>
#endif

// QvSwitchContext(save, next): pushes the callee-saved registers and the FPU/SSE control words,
// stores the stack pointer in *save, loads next and pops the same frame from there.
// QvFiberStart is where a new fibre's first switch "returns" to: it calls entry(arg), which
// were left in r13 and r12 by the initial frame.
extern "C" void QvSwitchContext(void** save, void* next);
extern "C" void QvFiberStart();

asm(R"(
    .text
    .globl QvSwitchContext
    .type QvSwitchContext,@function
QvSwitchContext:
    pushq %rbp
    pushq %rbx
    pushq %r12
    pushq %r13
    pushq %r14
    pushq %r15
    subq $8, %rsp
    stmxcsr (%rsp)
    fnstcw 4(%rsp)
    movq %rsp, (%rdi)
    movq %rsi, %rsp
    ldmxcsr (%rsp)
    fldcw 4(%rsp)
    addq $8, %rsp
    popq %r15
    popq %r14
    popq %r13
    popq %r12
    popq %rbx
    popq %rbp
    ret
    .size QvSwitchContext,.-QvSwitchContext

    .globl QvFiberStart
    .type QvFiberStart,@function
QvFiberStart:
    .cfi_startproc
    .cfi_undefined rip
    movq %r12, %rdi
    callq *%r13
    ud2
    .cfi_endproc
    .size QvFiberStart,.-QvFiberStart
    .section .note.GNU-stack,"",@progbits
    .text
)");

namespace {
class AsmFiber final : public Fiber {
public:
    AsmFiber()
    {
#ifdef QV_TSAN
        tsanFiber_ = __tsan_get_current_fiber();
#endif
    }
    ~AsmFiber() override
    {
#ifdef QV_TSAN
        if (stack_)
            __tsan_destroy_fiber(tsanFiber_);
#endif
    }
    AsmFiber(size_t stackBytes, Entry entry, void* arg)
        : stack_(new unsigned char[stackBytes]), entry_(entry), arg_(arg)
    {
#ifdef QV_ASAN
        stackBytes_ = stackBytes;
#endif
#ifdef QV_TSAN
        tsanFiber_ = __tsan_create_fiber(0);
#endif
        entry = &Start;
        arg = this;
        auto top = reinterpret_cast<uintptr_t>(stack_.get() + stackBytes) & ~uintptr_t{15};
        auto* frame = reinterpret_cast<uint64_t*>(top - 24);  // after ret, rsp is 16-aligned
        frame[0] = reinterpret_cast<uint64_t>(&QvFiberStart);
        frame[-1] = 0;                                   // rbp
        frame[-2] = 0;                                   // rbx
        frame[-3] = reinterpret_cast<uint64_t>(arg);     // r12
        frame[-4] = reinterpret_cast<uint64_t>(entry);   // r13
        frame[-5] = 0;                                   // r14
        frame[-6] = 0;                                   // r15
        frame[-7] = 0x1F80u | (uint64_t{0x037F} << 32);  // default MXCSR and x87 control word
        sp_ = &frame[-7];
    }
    void SwitchTo(Fiber& target) override
    {
        AsmFiber& to = static_cast<AsmFiber&>(target);
#ifdef QV_TSAN
        __tsan_switch_to_fiber(to.tsanFiber_, 0);
#endif
#ifdef QV_ASAN
        void* fakeStack = nullptr;
        __sanitizer_start_switch_fiber(&fakeStack, to.stack_ ? to.stack_.get() : to.threadBottom_,
                                       to.stack_ ? to.stackBytes_ : to.threadSize_);
        switchingFrom = this;
        QvSwitchContext(&sp_, to.sp_);
        AfterSwitch(fakeStack);
#else
        QvSwitchContext(&sp_, to.sp_);
#endif
    }

private:
    static void Start(void* self)
    {
#ifdef QV_ASAN
        AfterSwitch(nullptr);
#endif
        auto* fiber = static_cast<AsmFiber*>(self);
        fiber->entry_(fiber->arg_);
    }

#ifdef QV_ASAN
    // Completes a switch on the arriving side; the first time a fibre is entered this tells
    // where the thread's own stack lies, which the way back needs.
    static void AfterSwitch(void* fakeStack)
    {
        const void* bottom = nullptr;
        size_t size = 0;
        __sanitizer_finish_switch_fiber(fakeStack, &bottom, &size);
        if (switchingFrom != nullptr && !switchingFrom->stack_) {
            switchingFrom->threadBottom_ = bottom;
            switchingFrom->threadSize_ = size;
        }
    }
    static inline thread_local AsmFiber* switchingFrom = nullptr;
#endif

    std::unique_ptr<unsigned char[]> stack_;
    Entry entry_ = nullptr;
    void* arg_ = nullptr;
    void* sp_ = nullptr;
#ifdef QV_ASAN
    // Where each stack lies, for the address sanitizer's switch annotations.
    size_t stackBytes_ = 0;
    const void* threadBottom_ = nullptr;
    size_t threadSize_ = 0;
#endif
#ifdef QV_TSAN
    void* tsanFiber_ = nullptr;
#endif
};
}  // namespace

std::unique_ptr<Fiber> Fiber::ForCurrentThread() { return std::make_unique<AsmFiber>(); }

std::unique_ptr<Fiber> Fiber::Create(size_t stackBytes, Entry entry, void* arg)
{
    return std::make_unique<AsmFiber>(stackBytes, entry, arg);
}

#else
#include <ucontext.h>

namespace {
class ContextFiber final : public Fiber {
public:
    ContextFiber() = default;
    ContextFiber(size_t stackBytes, Entry entry, void* arg)
        : stack_(new unsigned char[stackBytes]), entry_(entry), arg_(arg)
    {
        getcontext(&context_);
        context_.uc_stack.ss_sp = stack_.get();
        context_.uc_stack.ss_size = stackBytes;
        context_.uc_link = nullptr;
        const auto self = reinterpret_cast<uintptr_t>(this);
        makecontext(&context_, reinterpret_cast<void (*)()>(&Start), 2, static_cast<unsigned>(self >> 32),
                    static_cast<unsigned>(self));
    }
    void SwitchTo(Fiber& target) override { swapcontext(&context_, &static_cast<ContextFiber&>(target).context_); }

private:
    static void Start(unsigned high, unsigned low)
    {
        auto* self = reinterpret_cast<ContextFiber*>((uintptr_t{high} << 32) | low);
        self->entry_(self->arg_);
    }
    std::unique_ptr<unsigned char[]> stack_;
    Entry entry_ = nullptr;
    void* arg_ = nullptr;
    ucontext_t context_{};
};
}  // namespace

std::unique_ptr<Fiber> Fiber::ForCurrentThread() { return std::make_unique<ContextFiber>(); }

std::unique_ptr<Fiber> Fiber::Create(size_t stackBytes, Entry entry, void* arg)
{
    return std::make_unique<ContextFiber>(stackBytes, entry, arg);
}
#endif
