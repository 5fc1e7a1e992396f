#pragma once

#include <QByteArray>
#include <QString>

// A raw pseudo-terminal pair for a window that talks to a scripted or silent
// instrument: the window opens slavePath() like a serial port, the benchmark
// plays the instrument on the master side. Both sides are raw from the start,
// and the pair keeps its own slave descriptor open for its whole life.
class RawPty {
public:
    RawPty();
    ~RawPty();
    RawPty(const RawPty &) = delete;
    RawPty &operator=(const RawPty &) = delete;

    bool ok() const { return master_ >= 0; }
    QString slavePath() const { return slavePath_; }
    void write(const QByteArray &bytes);

private:
    int master_ = -1;
    int slave_ = -1;
    QString slavePath_;
};
