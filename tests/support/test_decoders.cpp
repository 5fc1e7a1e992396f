#include "support/test_decoders.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

QString TestDecoderFolder()
{
    return qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/libsigrokdecode/decoders");
}

namespace {

void Write(const QString &path, const QByteArray &text)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(text) != text.size())
        qFatal("cannot write %s", qPrintable(path));
}

} // namespace

void WriteTestDecoder(const QString &id, const QString &body)
{
    const QString dir = TestDecoderFolder() + QLatin1Char('/') + id;
    QDir().mkpath(dir);
    Write(dir + QStringLiteral("/__init__.py"), "from .pd import Decoder\n");
    // Line numbers matter: the raiser's raise is on kRaiserLine.
    const QString pd = QStringLiteral(
                           "import sigrokdecode as srd\n"                                              // 1
                           "\n"                                                                       // 2
                           "class Decoder(srd.Decoder):\n"                                            // 3
                           "    api_version = 3\n"                                                    // 4
                           "    id = '%1'\n"                                                          // 5
                           "    name = '%1'\n"                                                        // 6
                           "    longname = 'Test decoder %1'\n"                                       // 7
                           "    desc = 'Misbehaves for the tests.'\n"                                 // 8
                           "    license = 'gplv3+'\n"                                                 // 9
                           "    inputs = ['logic']\n"                                                 // 10
                           "    outputs = []\n"                                                       // 11
                           "    tags = ['Debug']\n"                                                   // 12
                           "    channels = ({'id': 'data', 'name': 'Data', 'desc': 'Data line'},)\n" // 13
                           "    annotations = (('text', 'Text'),)\n"                                  // 14
                           "\n"                                                                       // 15
                           "    def reset(self):\n"                                                   // 16
                           "        pass\n"                                                           // 17
                           "\n"                                                                       // 18
                           "    def start(self):\n"                                                   // 19
                           "        self.out_ann = self.register(srd.OUTPUT_ANN)\n"                   // 20
                           "\n"                                                                       // 21
                           "    def give_up(self):\n"                                                 // 22
                           "        self.put(self.samplenum, self.samplenum + 1, self.out_ann,\n"     // 23
                           "                 [0, ['about to fail']])\n"                               // 24
                           "        self.fail()\n"                                                    // 25
                           "\n"                                                                       // 26
                           "    def fail(self):\n"                                                    // 27
                           "        raise ValueError('gave up at sample %d' % self.samplenum)\n"      // 28
                           "\n"                                                                       // 29
                           "    def decode(self):\n"                                                  // 30
                           "%2")
                           .arg(id, body);
    Write(dir + QStringLiteral("/pd.py"), pd.toUtf8());
}

QString WriteTestDecoders()
{
    WriteTestDecoder(QStringLiteral("hang"), QStringLiteral("        self.wait({0: 'e'})\n"
                                                            "        while True:\n"
                                                            "            pass\n"));
    WriteTestDecoder(QStringLiteral("raiser"), QStringLiteral("        self.wait({0: 'e'})\n"
                                                              "        self.give_up()\n"));
    WriteTestDecoder(QStringLiteral("flood"), QStringLiteral("        n = 0\n"
                                                             "        while True:\n"
                                                             "            self.put(n, n + 1, self.out_ann, [0, ['flood %d' % n]])\n"
                                                             "            n += 1\n"));
    const QString broken = TestDecoderFolder() + QStringLiteral("/broken");
    QDir().mkpath(broken);
    Write(broken + QStringLiteral("/__init__.py"), "from .pd import Decoder\n");
    Write(broken + QStringLiteral("/pd.py"), "import sigrokdecode as srd\n"
                                             "import no_such_module_for_the_test\n");
    return TestDecoderFolder();
}
