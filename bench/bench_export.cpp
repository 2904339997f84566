// The whole export for the association (three text files and the zip archive) of a large
// database, as a ratio against the sqlite3 shell writing the same rows in its CSV mode
// plus the zip program packing the same three files, measured in the same run.
//   QT_QPA_PLATFORM=offscreen build/bench/bench_export [observations]
#include "Mediana.h"
#include "Tabla.h"
#include "support/TestDatabase.h"

#include "data/ModBaseDatos.h"
#include "export/ArchiveWriter.h"
#include "export/ExportStore.h"
#include "export/frfitxer.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

void Poblar(const TestDatabase &bd, int observaciones) {
    QSqlDatabase db = bd.db();
    db.transaction();
    QSqlQuery q(db);
    q.prepare(QStringLiteral("INSERT INTO localidad (cod_localidad, localidad, prov, muni, "
                             "utmhuso, utmx, utmy, utm1k, utm10k) VALUES (?, ?, 28, 28079, '30', "
                             "440291, 4474254, 'VK4074', 'VK47')"));
    for (int i = 0; i < 2000; ++i) {
        q.addBindValue(QStringLiteral("L%1").arg(i));
        q.addBindValue(QStringLiteral("Charca %1 de la peña").arg(i));
        q.exec();
    }
    q.prepare(QStringLiteral("INSERT INTO observador (cod_observador, nombre, apellido, email, "
                             "provincia) VALUES (?, 'Nombre', 'Pérez', 'x@y.es', 'Ávila')"));
    for (int i = 0; i < 500; ++i) {
        q.addBindValue(QStringLiteral("OB%1").arg(i));
        q.exec();
    }
    q.prepare(QStringLiteral(
        "INSERT INTO observacion (observador1, observador2, fecha, horaini, horafin, periodo, "
        "meteo, viento, especie, numejemp, numaprox, estadio, conducta, descripcion, motivo, "
        "habitat, localidad) VALUES (?, 'OB2', ?, '10:30', '11:00', 1, 2, 3, 'BUFSPI', ?, 0, 1, "
        "2, ?, 'Muestreo', 4, ?)"));
    for (int i = 0; i < observaciones; ++i) {
        q.addBindValue(QStringLiteral("OB%1").arg(i % 500));
        q.addBindValue(QDate(2000, 1, 1).addDays(i % 9000).toString(Qt::ISODate));
        q.addBindValue(i % 40);
        q.addBindValue(
            QStringLiteral("Adulto bajo piedra junto al arroyo, %1 metros").arg(i % 300));
        q.addBindValue(QStringLiteral("L%1").arg(i % 2000));
        q.exec();
    }
    db.commit();
}

qint64 Programa(const QString &carpeta) {
    frfitxer f;
    f.AbrirCarpeta(carpeta);
    QElapsedTimer t;
    t.start();
    f.findChild<QPushButton *>(QStringLiteral("Cdgenerar"))->click();
    return t.nsecsElapsed();
}

qint64 Base(const QString &bd, const QString &carpeta) {
    using Tabla = ExportStore::Tabla;
    ExportStore almacen;
    const QString guion =
        QStringLiteral(".headers on\n.mode csv\n.separator \";\" \"\\r\\n\"\n"
                       ".output obs.txt\n%1;\n.output ors.txt\n%2;\n"
                       ".output mot.txt\n%3;\n")
            .arg(almacen.Sentencia(Tabla::Observaciones), almacen.Sentencia(Tabla::Observadores),
                 almacen.Sentencia(Tabla::Motivos));
    QElapsedTimer t;
    t.start();
    QProcess sqlite;
    sqlite.setWorkingDirectory(carpeta);
    sqlite.start(QStringLiteral("sqlite3"), {QStringLiteral("-readonly"), bd});
    sqlite.write(guion.toUtf8());
    sqlite.closeWriteChannel();
    sqlite.waitForFinished(-1);
    QProcess zip;
    zip.setWorkingDirectory(carpeta);
    zip.start(QStringLiteral("zip"),
              {QStringLiteral("-q"), QStringLiteral("TDX.zip"), QStringLiteral("obs.txt"),
               QStringLiteral("ors.txt"), QStringLiteral("mot.txt")});
    zip.waitForFinished(-1);
    const qint64 ns = t.nsecsElapsed();
    if (sqlite.exitCode() != 0 || zip.exitCode() != 0) {
        std::fprintf(stderr, "sqlite3 or zip failed\n");
        std::exit(1);
    }
    return ns;
}

// Where the export's time goes: writing the files, packing them.
void Partes(const QString &carpeta) {
    using Tabla = ExportStore::Tabla;
    ExportStore almacen;
    QElapsedTimer t;
    t.start();
    QList<ArchiveWriter::Entrada> entradas;
    for (Tabla tabla : {Tabla::Observaciones, Tabla::Observadores, Tabla::Motivos}) {
        QSqlQuery q = almacen.Consultar(tabla);
        const QString nombre = QStringLiteral("t%1.txt").arg(int(tabla));
        QString error;
        ModBaseDatos::EscribirArchivoTexto(&q, carpeta + u'/' + nombre, true, QStringLiteral(";"),
                                           &error);
        entradas.append({nombre, carpeta + u'/' + nombre});
    }
    const qint64 texto = t.nsecsElapsed();
    t.restart();
    QString error;
    ArchiveWriter::Empaquetar(carpeta + QStringLiteral("/t.zip"), entradas, &error);
    std::printf("  of which text files %.1f ms, archive %.1f ms\n", texto / 1e6,
                t.nsecsElapsed() / 1e6);
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    const int observaciones = argc > 1 ? atoi(argv[1]) : 100000;
    TestDatabase bd(TestDatabase::Datos::Reales);
    if (!bd.ok()) return 1;
    Poblar(bd, observaciones);
    QTemporaryDir salida;
    QList<qint64> base, programa;
    // Alternated, each in a fresh folder, so both meet the same caches and the same disk.
    for (int i = 0; i < 6; ++i) {
        const QString a = salida.filePath(QStringLiteral("base%1").arg(i));
        const QString b = salida.filePath(QStringLiteral("programa%1").arg(i));
        QDir().mkpath(a);
        QDir().mkpath(b);
        const qint64 x = Base(bd.ruta(), a);
        const qint64 y = Programa(b);
        if (i == 0) continue; // warm-up
        base << x;
        programa << y;
    }
    const QString archivo = QDir(salida.filePath(QStringLiteral("programa1")))
                                .entryList({QStringLiteral("TDX_*.zip")})
                                .value(0);
    if (archivo.isEmpty()) {
        std::fprintf(stderr, "the export wrote no archive\n");
        return 1;
    }
    std::printf("observations %d\n", observaciones);
    std::printf("sqlite3 CSV + zip: %.1f ms\n", MedianaDe(base) / 1e6);
    std::printf("export (frfitxer): %.1f ms\n", MedianaDe(programa) / 1e6);
    Partes(salida.path());
    FilaTabla("association export, text + zip / sqlite3 + zip", MedianaDe(programa) / 1e6,
              MedianaDe(base) / 1e6, "<= 1.3");
    return 0;
}
