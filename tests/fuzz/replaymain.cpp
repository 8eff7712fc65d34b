// Replays inputs through a harness without libFuzzer, so that the ordinary test build runs the seed corpus
// and every input that ever crashed: each file named on the command line, and each file in the folders
// named there, one after the other. A folder that holds no file is an error, so a misplaced corpus cannot
// pass unnoticed.
#include <QDir>
#include <QFileInfo>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize);

int main(int argc, char* argv[])
{
    for (int nArg = 1; nArg < argc; ++nArg) {
        const QFileInfo path(QString::fromLocal8Bit(argv[nArg]));
        const QFileInfoList files = path.isDir()
            ? QDir(path.filePath()).entryInfoList(QDir::Files, QDir::Name)
            : QFileInfoList { path };
        if (files.isEmpty()) {
            std::fprintf(stderr, "no inputs in %s\n", argv[nArg]);
            return 1;
        }
        for (const QFileInfo& file : files) {
            QFile input(file.filePath());
            if (!input.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "cannot read %s\n", qPrintable(file.filePath()));
                return 1;
            }
            const QByteArray data = input.readAll();
            std::printf("%s (%d bytes)\n", qPrintable(file.filePath()), data.size());
            std::fflush(stdout);
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(data.constData()), size_t(data.size()));
        }
    }
    return 0;
}
