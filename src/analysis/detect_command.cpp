#include "analysis/detect_command.h"

#include "analysis/protocol_detection.h"

int RunDetectCommand(const Capture &capture, QTextStream &out)
{
    if (capture.isEmpty()) {
        out << "The capture holds no records: nothing to detect.\n";
        out.flush();
        return 1;
    }
    const DetectionReport report = DetectProtocols(capture);
    for (const Finding &f : report.findings)
        out << f.line() << '\n';
    out.flush();
    return 0;
}
