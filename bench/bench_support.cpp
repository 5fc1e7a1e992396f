#include "bench_support.h"

#include <QCoreApplication>
#include <QPushButton>
#include <cstdio>
#include <sys/resource.h>
#include <time.h>

#include "device/serial_port.h"

namespace bench {

namespace {
void quietEnd(int) {}
} // namespace

std::unique_ptr<Form1> MakeForm(bool analog, bool show)
{
    Form1::endProgram = quietEnd;
    auto form = std::make_unique<Form1>(PortChoice{PortChoice::Detached, QString()});
    form->Form_Load();
    if (analog)
        form->selectOption(form->Option4[1]);
    if (show)
        form->show();
    DrainEvents();
    return form;
}

std::unique_ptr<MainWindow> MakeFramedForm(bool analog, bool show)
{
    auto window = std::make_unique<MainWindow>(MakeForm(analog, false).release(), QStringLiteral("bench"));
    if (show)
        window->show();
    DrainEvents();
    return window;
}

std::unique_ptr<Form1> MakeFormOnPort(const QString &device, bool show)
{
    Form1::endProgram = quietEnd;
    auto form = std::make_unique<Form1>(PortChoice{PortChoice::Device, device});
    form->Form_Load();
    if (show)
        form->show();
    DrainEvents();
    return form;
}

QByteArray WorstCaseStream(bool analog, int32_t records)
{
    QByteArray s;
    s.reserve(2 + records * (analog ? 4 : 3));
    s.append(char(0x02));
    for (int32_t i = 0; i < records; ++i) {
        const int32_t t = i & 0x7FFF; // a time stamp never starts with the end byte
        s.append(char(uint8_t(t >> 8)));
        s.append(char(uint8_t(t & 0xFF)));
        s.append(char((i & 1) ? 0xAA : 0x55)); // every channel changes every period
        if (analog)
            s.append(char(uint8_t((i * 37) & 0xFF)));
    }
    s.append(char(0x80));
    return s;
}

void ReceiveStream(Form1 &form, const QByteArray &stream, int chunkSize)
{
    form.state.PendingCommand = QStringLiteral("dataread");
    form.state.ReplyPos = 0;
    form.state.LastSampleIndex = -1;
    if (chunkSize <= 0) {
        form.ReceiveChunkForTest(stream);
        return;
    }
    for (qsizetype k = 0; k < stream.size(); k += chunkSize)
        form.ReceiveChunkForTest(stream.mid(k, chunkSize));
}

double ProcessCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

double ThreadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

long PeakResidentKiB()
{
    // The high-water mark of this program image (VmHWM). getrusage's
    // ru_maxrss would do in a process of its own, but across fork and exec
    // it keeps the parent's peak, and the start-up probe is such a child.
    if (FILE *f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        long kib = -1;
        while (std::fgets(line, sizeof line, f))
            if (std::sscanf(line, "VmHWM: %ld kB", &kib) == 1)
                break;
        std::fclose(f);
        if (kib >= 0)
            return kib;
    }
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

std::string Figure(double value, const char *unit)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.3g %s", value, unit);
    return buf;
}

std::string Verdict(double value, double target, const char *unit)
{
    char buf[160];
    std::snprintf(buf, sizeof buf, "%s (target <= %g): %s", Figure(value, unit).c_str(), target,
                  value <= target ? "met" : "MISSED");
    return buf;
}

std::string CpuVerdict(double cpu, double wall, double target, const char *unit)
{
    char buf[200];
    std::snprintf(buf, sizeof buf, "cpu %s, wall %s (target <= %g): %s", Figure(cpu, unit).c_str(),
                  Figure(wall, unit).c_str(), target, cpu <= target ? "met" : "MISSED");
    return buf;
}

void DrainEvents()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

} // namespace bench
