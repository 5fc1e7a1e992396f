// Python.h goes first: it sets feature macros the system headers read.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "decode/run_guard.h"

#include <libsigrokdecode/libsigrokdecode.h>
#include "decode/library_calls.h" // after the library's headers

#include <algorithm>
#include <condition_variable>
#include <thread>
#include <utility>

namespace decode_internal {
namespace {

using Clock = std::chrono::steady_clock;

// A call still going this long after an interruption is interrupted again
// (a decoder may have caught the first one); a call that starts after the
// stop (taking the sessions down) gets as long before it is interrupted.
constexpr auto kRepeat = std::chrono::milliseconds(50);
constexpr auto kPoll = std::chrono::milliseconds(10);

// Our own exception type, derived from BaseException as KeyboardInterrupt
// is. Created once, under the interpreter lock, and kept for the process.
PyObject *StopException()
{
    static PyObject *type = PyErr_NewException("logic_analyzer.DecodingStopped", PyExc_BaseException, nullptr);
    return type;
}

// Raises the exception in every other thread that is running Python code
// (a decoder's decode(), or its start() on the driving thread); a thread with
// no Python frame, such as an idle main thread, is left alone. Adds the
// threads to `interrupted`.
void InterruptPythonThreads(std::vector<unsigned long> *interrupted)
{
    const PyGILState_STATE gil = PyGILState_Ensure();
    PyObject *type = StopException();
    const PyThreadState *self = PyThreadState_Get();
    // Thread states are only taken away by their own thread holding the
    // interpreter lock, so the list stays valid while it is walked here.
    std::vector<unsigned long> threads;
    for (PyThreadState *ts = PyInterpreterState_ThreadHead(PyInterpreterState_Main()); ts;
         ts = PyThreadState_Next(ts)) {
        if (ts == self)
            continue;
        PyFrameObject *frame = PyThreadState_GetFrame(ts);
        if (frame)
            threads.push_back(ts->thread_id);
        Py_XDECREF(frame);
    }
    for (unsigned long id : threads) {
        PyThreadState_SetAsyncExc(id, type);
        if (std::find(interrupted->begin(), interrupted->end(), id) == interrupted->end())
            interrupted->push_back(id);
    }
    PyGILState_Release(gil);
}

// Takes back the interruptions still pending on these threads, so none goes
// off later in code that has nothing to do with the run.
void ClearPendingInterruptions(const std::vector<unsigned long> &threads)
{
    const PyGILState_STATE gil = PyGILState_Ensure();
    for (unsigned long id : threads)
        PyThreadState_SetAsyncExc(id, nullptr);
    PyGILState_Release(gil);
}

} // namespace

bool IsInterruptionMessage(const QString &text) { return text.contains(QLatin1String("DecodingStopped")); }

// The process's one watchdog thread and the run it watches.
struct Watchdog {
    std::mutex mutex;
    std::condition_variable wake;
    RunGuard *current = nullptr;     // the run watched
    RunGuard *interrupting = nullptr; // the run whose threads are being interrupted, lock let go
    bool started = false;

    // Never destroyed: the thread, detached, waits on it until the process ends.
    static Watchdog &instance()
    {
        static Watchdog *dog = new Watchdog;
        return *dog;
    }

    void run()
    {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            if (current)
                current->step(lock);
            else
                wake.wait(lock);
        }
    }
};

void WakeWatchdog()
{
    Watchdog &dog = Watchdog::instance();
    {
        // Taken and let go, so the watchdog is either waiting (and woken) or
        // about to look at the control (and sees the stop).
        std::lock_guard<std::mutex> guard(dog.mutex);
    }
    dog.wake.notify_all();
}

RunGuard::RunGuard(DecodeControl &control, double timeLimitSeconds)
    : control_(control), hasDeadline_(timeLimitSeconds > 0),
      deadline_(Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                   std::chrono::duration<double>(std::min(timeLimitSeconds, 1e7)))),
      driver_(PyThread_get_thread_ident())
{
    Watchdog &dog = Watchdog::instance();
    std::unique_lock<std::mutex> lock(dog.mutex);
    dog.wake.wait(lock, [&dog] { return dog.current == nullptr; });
    dog.current = this;
    if (!dog.started) {
        dog.started = true;
        std::thread(&Watchdog::run, &dog).detach();
    }
    lock.unlock();
    dog.wake.notify_all();
}

RunGuard::~RunGuard()
{
    Watchdog &dog = Watchdog::instance();
    {
        std::unique_lock<std::mutex> lock(dog.mutex);
        // An interruption under way finishes first: it may still add threads.
        dog.wake.wait(lock, [&dog, this] { return dog.interrupting != this; });
        dog.current = nullptr;
    }
    dog.wake.notify_all(); // a guard waiting for its turn
    if (!interruptedThreads_.empty())
        ClearPendingInterruptions(interruptedThreads_);
}

void RunGuard::enter(int part)
{
    std::lock_guard<std::mutex> guard(Watchdog::instance().mutex);
    part_ = part;
    ++entry_;
    enteredAt_ = Clock::now();
}

void RunGuard::leave()
{
    bool clear = false;
    {
        std::lock_guard<std::mutex> guard(Watchdog::instance().mutex);
        if (part_ >= 0) {
            if (size_t(part_) >= seconds_.size())
                seconds_.resize(size_t(part_) + 1);
            seconds_[size_t(part_)] += std::chrono::duration<double>(Clock::now() - enteredAt_).count();
        }
        part_ = -1;
        clear = std::exchange(driverInterrupted_, false);
    }
    // Back from the library, the driver must not carry an interruption into
    // the next call (where it would stop a decoder's start(), say).
    if (clear)
        ClearPendingInterruptions({driver_});
}

void RunGuard::postpone(std::chrono::steady_clock::duration by)
{
    std::lock_guard<std::mutex> guard(Watchdog::instance().mutex);
    deadline_ += by;
}

int RunGuard::stoppedPart() const
{
    std::lock_guard<std::mutex> guard(Watchdog::instance().mutex);
    return stoppedPart_;
}

int RunGuard::slowestPart() const
{
    std::lock_guard<std::mutex> guard(Watchdog::instance().mutex);
    if (seconds_.empty())
        return -1;
    return int(std::max_element(seconds_.begin(), seconds_.end()) - seconds_.begin());
}

bool RunGuard::interrupted() const
{
    std::lock_guard<std::mutex> guard(Watchdog::instance().mutex);
    return interrupted_;
}

void RunGuard::step(std::unique_lock<std::mutex> &lock)
{
    Watchdog &dog = Watchdog::instance();
    const auto now = Clock::now();
    if (!stopSeen_) {
        if (!control_.stopRequested()) {
            if (!hasDeadline_ || now < deadline_) {
                // Until the deadline, a stop (WakeWatchdog) or the run's end.
                // The guard may be gone when the wait ends: nothing of it is
                // looked at after, not even the deadline the wait compares with.
                if (hasDeadline_) {
                    const Clock::time_point deadline = deadline_;
                    dog.wake.wait_until(lock, deadline);
                } else {
                    dog.wake.wait(lock);
                }
                return;
            }
            control_.setReason(DecodeStopReason::TimeLimit);
        }
        stopSeen_ = true;
        stoppedPart_ = part_;
        entryAtStop_ = entry_;
    }
    // Stopped: the call in the library at the time is interrupted at once,
    // again every kRepeat while it goes on; a later call (taking the sessions
    // down) only when it takes kRepeat.
    if (part_ >= 0) {
        const bool again = lastInterruptedEntry_ == entry_;
        const bool due = again ? now - lastInterruptAt_ >= kRepeat
                               : entry_ == entryAtStop_ || now - enteredAt_ >= kRepeat;
        if (due) {
            lastInterruptedEntry_ = entry_;
            lastInterruptAt_ = now;
            interrupt(lock);
            return;
        }
    }
    dog.wake.wait_for(lock, kPoll);
}

void RunGuard::interrupt(std::unique_lock<std::mutex> &lock)
{
    // The decoders' threads take this lock while holding the interpreter's
    // (an annotation over the limit stops the run), so it is let go first.
    Watchdog &dog = Watchdog::instance();
    interrupted_ = true;
    dog.interrupting = this;
    lock.unlock();
    std::vector<unsigned long> threads;
    InterruptPythonThreads(&threads);
    lock.lock();
    dog.interrupting = nullptr;
    for (unsigned long id : threads) {
        driverInterrupted_ = driverInterrupted_ || id == driver_;
        if (std::find(interruptedThreads_.begin(), interruptedThreads_.end(), id) == interruptedThreads_.end())
            interruptedThreads_.push_back(id);
    }
    dog.wake.notify_all(); // the guard's end may be waiting for this
}

} // namespace decode_internal
