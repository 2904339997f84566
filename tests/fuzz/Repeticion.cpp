// Runs every file of the given folders (or the given files) through a fuzz target once:
// the corpus as a test of the ordinary build, without libFuzzer.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *datos, size_t n);

int main(int argc, char **argv) {
    int leidos = 0;
    for (int i = 1; i < argc; ++i) {
        const QFileInfo ruta(QString::fromLocal8Bit(argv[i]));
        for (const QFileInfo &a : ruta.isDir()
                                      ? QDir(ruta.filePath()).entryInfoList(QDir::Files, QDir::Name)
                                      : QFileInfoList{ruta}) {
            QFile f(a.filePath());
            if (!f.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "cannot read %s\n", qPrintable(a.filePath()));
                return 1;
            }
            std::printf("%s\n", qPrintable(a.filePath()));
            std::fflush(stdout);
            const QByteArray datos = f.readAll();
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(datos.constData()),
                                   size_t(datos.size()));
            ++leidos;
        }
    }
    // An empty or mistyped corpus would pass without reading anything.
    if (leidos == 0) {
        std::fprintf(stderr, "no input read\n");
        return 1;
    }
    std::printf("%d inputs read\n", leidos);
    return 0;
}
