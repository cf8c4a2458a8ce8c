// std::thread and std::mutex for the tests' own threads, and GoogleTest's
// Notification. The programs are built with the win32 thread model, whose
// C++ runtime imports nothing that Windows XP lacks but has no std::thread
// (only an empty class of that name), std::mutex or condition variable; the
// tests (fake peers on a thread, a collector of the debug output) use the
// first two, GoogleTest the others. Every test source and GoogleTest get
// this header first (a compile option of their targets); where the runtime
// has the classes it adds nothing.
#pragma once
#include <condition_variable>
#include <mutex>
#include <thread>

#if defined(_WIN32) && !defined(_GLIBCXX_HAS_GTHREADS)
#include <windows.h>
#include <process.h>

#include <exception>
#include <functional>
#include <memory>
#include <system_error>
#include <tuple>
#include <type_traits>
#include <utility>

namespace std {

class mutex {
public:
    mutex() noexcept { InitializeCriticalSection(&m_cs); }
    ~mutex() { DeleteCriticalSection(&m_cs); }
    mutex(const mutex&) = delete;
    mutex& operator=(const mutex&) = delete;
    void lock() { EnterCriticalSection(&m_cs); }
    bool try_lock() { return TryEnterCriticalSection(&m_cs) != 0; }
    void unlock() { LeaveCriticalSection(&m_cs); }

private:
    CRITICAL_SECTION m_cs;
};

// The runtime's std::thread cannot start a thread: the tests' std::thread
// names this one.
#define thread zur_test_thread

class thread {
public:
    thread() noexcept = default;

    template <class F, class... Args,
              class = enable_if_t<!is_same_v<remove_cv_t<remove_reference_t<F>>, thread>>>
    explicit thread(F&& f, Args&&... args) {
        using Call = tuple<decay_t<F>, decay_t<Args>...>;
        auto call = make_unique<Call>(std::forward<F>(f), std::forward<Args>(args)...);
        uintptr_t h = _beginthreadex(nullptr, 0, &Run<Call>, call.get(), 0, nullptr);
        if (h == 0) throw system_error(errno, generic_category(), "thread");
        call.release();
        m_handle = reinterpret_cast<HANDLE>(h);
    }

    thread(const thread&) = delete;
    thread& operator=(const thread&) = delete;
    thread(thread&& other) noexcept : m_handle(other.m_handle) { other.m_handle = nullptr; }
    thread& operator=(thread&& other) noexcept {
        if (joinable()) std::terminate();
        m_handle = other.m_handle;
        other.m_handle = nullptr;
        return *this;
    }
    // As the standard's: a thread still joinable at its end ends the program.
    ~thread() {
        if (joinable()) std::terminate();
    }

    bool joinable() const noexcept { return m_handle != nullptr; }
    void join() {
        if (!joinable()) throw system_error(make_error_code(errc::invalid_argument), "thread::join");
        WaitForSingleObject(m_handle, INFINITE);
        CloseHandle(m_handle);
        m_handle = nullptr;
    }
    void detach() {
        if (!joinable()) throw system_error(make_error_code(errc::invalid_argument), "thread::detach");
        CloseHandle(m_handle);
        m_handle = nullptr;
    }

private:
    template <class Call>
    static unsigned __stdcall Run(void* p) {
        unique_ptr<Call> call(static_cast<Call*>(p));
        std::apply([](auto& f, auto&... args) { std::invoke(std::move(f), std::move(args)...); }, *call);
        return 0;
    }

    HANDLE m_handle = nullptr;
};

}  // namespace std

// GoogleTest's own, which needs a condition variable otherwise.
#define GTEST_HAS_NOTIFICATION_ 1
namespace testing {
namespace internal {
class Notification {
public:
    Notification() : m_event(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~Notification() { CloseHandle(m_event); }
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;
    void Notify() { SetEvent(m_event); }
    void WaitForNotification() { WaitForSingleObject(m_event, INFINITE); }

private:
    HANDLE m_event;
};
}  // namespace internal
}  // namespace testing
#endif
