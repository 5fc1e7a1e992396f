#pragma once

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "capture/capture.h"
#include "decode/decode_result.h"
#include "decode/decode_request.h"
#include "decode/decoder_catalog.h"

// Decodes a capture right here, on the calling thread, and returns when done.
// For the command line and tests; the window uses DecodeEngine. Calls from
// several threads (and the engine's worker) take turns: the library is never
// entered from two threads at once. The request is checked first (an invalid
// one gives a result with `error` set and no instances).
std::shared_ptr<const DecodeResult> DecodeNow(const Capture &capture, const DecodeRequest &request);

// Decodes captures on a worker thread of its own, so the UI thread never
// waits for the decoder library. Lives on the UI thread; its signals arrive
// there (queued from the worker).
//
// Each start() supersedes the previous one: a run still going is cancelled
// between two chunks of samples, and only the result of the latest start is
// ever delivered. Nothing is loaded or started until it is asked for.
class DecodeEngine : public QObject {
    Q_OBJECT
public:
    explicit DecodeEngine(QObject *parent = nullptr);
    // Cancels the run in progress and waits for the worker to stop: at most
    // one chunk of samples (a few milliseconds), or the rest of a first
    // catalogue load (up to about 0.4 s). No signal follows.
    ~DecodeEngine() override;

    // Starts decoding a copy of the capture; returns the run's generation
    // number (1, 2, ...), which its result carries. The request is checked on the
    // worker, against the catalogue (loaded there on first use).
    uint64_t start(const Capture &capture, const DecodeRequest &request);
    // Cancels the run in progress, if any; its result is not delivered.
    void cancel();
    // The generation of the latest start() (0 before any).
    uint64_t generation() const { return latest_.load(); }
    // Loads the decoder catalogue on the worker (about 0.4 s on first use),
    // then emits catalogReady. Cheap once the catalogue is loaded.
    void requestCatalog();

signals:
    // The result of the latest start(), unless superseded or cancelled.
    void finished(std::shared_ptr<const DecodeResult> result);
    // Share of the samples sent to the decoders, 0..100, for the latest run.
    void progress(quint64 generation, int percent);
    void catalogReady(std::shared_ptr<const DecoderCatalog> catalog);

private:
    struct Job {
        uint64_t generation = 0;
        Capture capture;
        DecodeRequest request;
    };

    void run();
    void deliver(std::shared_ptr<const DecodeResult> result);

    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<Job> pending_; // guarded by mutex_
    bool catalogWanted_ = false;  // guarded by mutex_
    bool stopping_ = false;       // guarded by mutex_
    std::atomic<uint64_t> latest_{0};
    std::atomic<bool> quit_{false};
    std::thread worker_; // started by the first request
};
