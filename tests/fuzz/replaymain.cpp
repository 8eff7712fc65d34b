// Replays inputs through a harness without libFuzzer, so that the ordinary test build runs the seed corpus
// and every input that ever crashed: each file named on the command line, and each file in the folders
// named there, one after the other. A folder that holds no file is an error, so a misplaced corpus cannot
// pass unnoticed.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

extern "C" int LLVMFuzzerInitialize(int* pArgc, char*** pArgv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize);

namespace {

QStringList InputFiles(const QString& sPath)
{
    if (!QFileInfo(sPath).isDir())
        return { sPath };
    QStringList files;
    for (const QFileInfo& entry : QDir(sPath).entryInfoList(QDir::Files, QDir::Name))
        files << entry.filePath();
    return files;
}

} // namespace

int main(int argc, char* argv[])
{
    LLVMFuzzerInitialize(&argc, &argv);
    for (int nArg = 1; nArg < argc; ++nArg) {
        const QStringList files = InputFiles(QString::fromLocal8Bit(argv[nArg]));
        if (files.isEmpty()) {
            std::fprintf(stderr, "no inputs in %s\n", argv[nArg]);
            return 1;
        }
        for (const QString& sFile : files) {
            QFile file(sFile);
            if (!file.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "cannot read %s\n", qPrintable(sFile));
                return 1;
            }
            const QByteArray input = file.readAll();
            std::printf("%s (%d bytes)\n", qPrintable(sFile), input.size());
            std::fflush(stdout);
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.constData()), size_t(input.size()));
        }
    }
    return 0;
}
