#pragma once

#include <QObject>
#include <cstdint>
#include <memory>
#include <thread>

#include "capture/capture.h"
#include "decode/decode_limits.h"
#include "decode/decode_request.h"
#include "decode/decode_result.h"
#include "decode/decoder_catalog.h"

// Decodes a capture right here, on the calling thread, and returns when done.
// For the command line and tests; the window uses DecodeEngine. Calls from
// several threads (and the engine's worker) take turns: the library is never
// entered from two threads at once. The request is checked first (an invalid
// one gives a result with `error` set and no instances), against `catalog`
// (the whole catalogue when null). The limits stop a run that takes too long
// or makes too many annotations, and `control`, stopped from another thread,
// stops it at once, even inside a decoder's Python code; what was decoded
// until then is returned, marked stopped.
std::shared_ptr<const DecodeResult> DecodeNow(const Capture &capture, const DecodeRequest &request,
                                              const DecodeLimits &limits = {}, DecodeControl *control = nullptr,
                                              std::shared_ptr<const DecoderCatalog> catalog = nullptr);

struct LiveDecodeFeed; // samples on their way to a live run

// Decodes captures on a worker thread of its own, so the UI thread never
// waits for the decoder library. Lives on the UI thread; its signals arrive
// there (queued from the worker).
//
// Each start() supersedes the previous one: a run still going is stopped at
// once (inside the decoders' Python code if need be; within a few
// milliseconds) and only the result of the latest start is ever delivered.
// Nothing is loaded or started until it is asked for.
class DecodeEngine : public QObject {
    Q_OBJECT
public:
    explicit DecodeEngine(QObject *parent = nullptr);
    // Stops the run in progress and waits for the worker, at most 1 s: a
    // worker that has not ended by then (a decoder that swallows every
    // interruption) is left to end on its own. No signal follows.
    ~DecodeEngine() override;

    // The limits of the runs started from now on.
    void setLimits(const DecodeLimits &limits) { limits_ = limits; }
    const DecodeLimits &limits() const { return limits_; }

    // Starts decoding a copy of the capture; returns the run's generation
    // number (1, 2, ...), which its result carries. The request is checked on the
    // worker, against the catalogue (loaded there on first use).
    uint64_t start(const Capture &capture, const DecodeRequest &request);
    // Starts decoding a capture still arriving (the read-back) at this rate:
    // the run takes the samples given by feed() as they come, continuing the
    // same decoders, and ends with finish(). Returns the generation, as
    // start() does, and supersedes any run as start() does.
    uint64_t startLive(uint64_t sampleRateHz, const DecodeRequest &request);
    // The next samples of the live run, which follow those fed before and
    // are final. Nothing when no live run is open.
    void feed(const uint8_t *samples, size_t count);
    // The capture that arrived. When it begins with the samples fed, at the
    // rate given, the live run decodes the rest and ends; when it does not
    // (the read was stopped or cut short), it is decoded anew. The result
    // comes with finished(). False (nothing done) when no live run is open.
    bool finish(const Capture &capture);
    // Whether a live run is open (started and not finished, cancelled or
    // superseded).
    bool isLive() const { return live_ != nullptr; }
    // Stops the run in progress, if any; its result is not delivered.
    void cancel();
    // Stops the run in progress (the Stop button): its result is delivered
    // with what was decoded until then, marked stopped by the user.
    void stop();
    // The generation of the latest start() (0 before any).
    uint64_t generation() const;
    // Whether the worker has a run or a catalogue load to finish. False
    // again as soon as a stopped run has left the library.
    bool isBusy() const;
    // Loads the decoder catalogue on the worker (about 0.4 s on first use),
    // then emits catalogReady. Cheap once the catalogue is loaded.
    void requestCatalog();
    // Stops the run in progress (not delivered), reads every decoder again
    // from its folder on the worker, then emits catalogReloaded.
    void reloadCatalog();

signals:
    // The result of the latest start(), unless superseded or cancelled.
    void finished(std::shared_ptr<const DecodeResult> result);
    // What the live run has decoded so far, at most 25 times a second while
    // new annotations come. Not a final result: finished() brings that.
    void partial(std::shared_ptr<const DecodeResult> result);
    // Share of the samples sent to the decoders, 0..100, for the latest run.
    void progress(quint64 generation, int percent);
    void catalogReady(std::shared_ptr<const DecoderCatalog> catalog);
    void catalogReloaded(std::shared_ptr<const DecoderCatalog> catalog);

private:
    struct Shared; // with the worker, which may outlive the engine
    static void work(std::shared_ptr<Shared> shared);
    void startWorker();
    uint64_t queue(const Capture &capture, const DecodeRequest &request, std::shared_ptr<LiveDecodeFeed> live);
    // Lets go of the open live run, which is stopped or superseded.
    void dropLive();

    std::shared_ptr<Shared> shared_;
    std::shared_ptr<LiveDecodeFeed> live_; // of the open live run
    DecodeLimits limits_;
    std::thread worker_; // started by the first request
};
