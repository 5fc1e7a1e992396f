#include "acquire/interrupt_watch.h"

#include <atomic>
#include <csignal>
#include <cstdlib>

namespace {

// Lock-free atomics and _Exit are all a signal handler may use.
std::atomic<int> g_count{0};
std::atomic<bool> g_writing{false};
std::atomic<bool> g_cancelWrite{false};

extern "C" void OnInterrupt(int)
{
    const int n = g_count.fetch_add(1) + 1;
    if (n >= 2) {
        if (g_writing.load())
            g_cancelWrite.store(true);
        else
            std::_Exit(interrupt_watch::kStatus);
    }
    // Systems that reset the handler on delivery get it back.
    std::signal(SIGINT, OnInterrupt);
}

} // namespace

namespace interrupt_watch {

void install() { std::signal(SIGINT, OnInterrupt); }

int interruptCount() { return g_count.load(); }

void setWriting(bool writing) { g_writing.store(writing); }

bool writeCancelled() { return g_cancelWrite.load(); }

} // namespace interrupt_watch
