// Python.h goes first: it sets feature macros the system headers read.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "decode/run_guard.h"

#include <algorithm>
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

RunGuard::RunGuard(DecodeControl &control, double timeLimitSeconds)
    : control_(control), hasDeadline_(timeLimitSeconds > 0),
      deadline_(Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                   std::chrono::duration<double>(std::min(timeLimitSeconds, 1e7)))),
      driver_(PyThread_get_thread_ident())
{
    thread_ = std::thread(&RunGuard::watch, this);
}

RunGuard::~RunGuard()
{
    {
        std::lock_guard<std::mutex> guard(control_.mutex_);
        finished_ = true;
    }
    control_.changed_.notify_all();
    thread_.join();
    if (!interruptedThreads_.empty())
        ClearPendingInterruptions(interruptedThreads_);
}

void RunGuard::enter(int part)
{
    std::lock_guard<std::mutex> guard(control_.mutex_);
    part_ = part;
    ++entry_;
    enteredAt_ = Clock::now();
}

void RunGuard::leave()
{
    bool clear = false;
    {
        std::lock_guard<std::mutex> guard(control_.mutex_);
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

int RunGuard::stoppedPart() const
{
    std::lock_guard<std::mutex> guard(control_.mutex_);
    return stoppedPart_;
}

int RunGuard::slowestPart() const
{
    std::lock_guard<std::mutex> guard(control_.mutex_);
    if (seconds_.empty())
        return -1;
    return int(std::max_element(seconds_.begin(), seconds_.end()) - seconds_.begin());
}

bool RunGuard::interrupted() const
{
    std::lock_guard<std::mutex> guard(control_.mutex_);
    return interrupted_;
}

void RunGuard::watch()
{
    std::unique_lock<std::mutex> lock(control_.mutex_);
    const auto woken = [this] { return finished_ || control_.stopRequested(); };
    if (hasDeadline_) {
        if (!control_.changed_.wait_until(lock, deadline_, woken)) {
            // Time is up. The control's lock is held here, so its reason is
            // set directly; only this thread waits for it.
            int none = int(DecodeStopReason::None);
            control_.reason_.compare_exchange_strong(none, int(DecodeStopReason::TimeLimit));
        }
    } else {
        control_.changed_.wait(lock, woken);
    }
    if (finished_)
        return;

    stoppedPart_ = part_;
    const uint64_t entryAtStop = entry_;
    uint64_t lastEntry = 0;
    Clock::time_point lastAt;
    while (!finished_) {
        const auto now = Clock::now();
        if (part_ >= 0) {
            const bool again = lastEntry == entry_;
            const bool due = again ? now - lastAt >= kRepeat
                                   : entry_ == entryAtStop || now - enteredAt_ >= kRepeat;
            if (due) {
                lastEntry = entry_;
                lastAt = now;
                interrupt(lock);
                continue;
            }
        }
        control_.changed_.wait_for(lock, kPoll, [this] { return finished_; });
    }
}

void RunGuard::interrupt(std::unique_lock<std::mutex> &lock)
{
    // The decoders' threads take this lock while holding the interpreter's
    // (an annotation over the limit stops the run), so it is let go first.
    interrupted_ = true;
    lock.unlock();
    std::vector<unsigned long> threads;
    InterruptPythonThreads(&threads);
    lock.lock();
    for (unsigned long id : threads) {
        driverInterrupted_ = driverInterrupted_ || id == driver_;
        if (std::find(interruptedThreads_.begin(), interruptedThreads_.end(), id) == interruptedThreads_.end())
            interruptedThreads_.push_back(id);
    }
}

} // namespace decode_internal
