// Start-up on a large database: from the launch to the main window, the file's check and the
// day's backup included (the splash's pause left out), against what it must at least do: the
// bare PRAGMA quick_check and the bare VACUUM INTO of the same file.
//   QT_QPA_PLATFORM=offscreen build/bench/bench_inicio [observations] [localities]
#include "Mediana.h"
#include "Poblar.h"
#include "Tabla.h"

#include "app/principal.h"
#include "data/ModBaseDatos.h"
#include "data/ModConex.h"
#include "gui/MessageService.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>
#include <sqlite3.h>

namespace {

bool Sql(sqlite3 *db, const char *sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

qint64 Suelo(const QString &ruta, const QString &copia) {
    QFile::remove(copia);
    QElapsedTimer t;
    t.start();
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(ruta).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    const QByteArray vacuum = "VACUUM INTO '" + QFile::encodeName(copia) + "'";
    const bool ok = Sql(db, "PRAGMA quick_check") && Sql(db, vacuum.constData());
    sqlite3_close(db);
    const qint64 ns = t.nsecsElapsed();
    if (!ok) std::fprintf(stderr, "the bare check or copy failed\n");
    QFile::remove(copia);
    return ns;
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    const int observaciones = argc > 1 ? atoi(argv[1]) : 100000;
    const int localidades = argc > 2 ? atoi(argv[2]) : 20000;
    MessageService::setModoPrueba(true);
    TestDatabase bd(TestDatabase::Datos::Reales);
    if (!bd.ok()) return 1;
    Poblar(bd, observaciones, localidades);
    ModConex::Desconectar();
    const double mb = QFile(bd.ruta()).size() / 1048576.0;
    std::printf("observations %d, localities %d, file %.0f MiB\n", observaciones, localidades, mb);

    const QString copias = bd.carpeta() + QStringLiteral("/copias");
    const QString copia = bd.carpeta() + QStringLiteral("/desnuda.mdb");
    // Each start finds no copy of the day, so each makes one, as the first start of a day.
    const auto arrancar = [&] {
        QDir(copias).removeRecursively();
        ModConex::Desconectar();
        QElapsedTimer t;
        t.start();
        {
            principal ventana;
            ventana.Form_Load();
            ventana.show();
            QApplication::processEvents();
            const qint64 ns = t.nsecsElapsed();
            if (!ModConex::DatabaseConnection().isOpen() || !MessageService::Mostrados().isEmpty())
                std::fprintf(stderr, "the start failed: %s\n",
                             qPrintable(MessageService::Ultimo().texto));
            return ns;
        }
    };
    ModBaseDatos::setEscalaEsperas(0.0);
    Suelo(bd.ruta(), copia);
    const QList<qint64> t = Alternas({[&] { return Suelo(bd.ruta(), copia); }, arrancar}, 3);
    const qint64 suelo = t[0], inicio = t[1];
    const QByteArray que = QByteArray("start-up with check and backup, ") +
                           QByteArray::number(observaciones / 1000) + "k";
    FilaTabla(que.constData(), inicio / 1e6, suelo / 1e6, "<= 1.5");
    return 0;
}
