// The observation query, its spreadsheet, and the opening of the observation forms on a
// large database, each as a ratio against the same statements run bare in the same run.
//   QT_QPA_PLATFORM=offscreen build/bench/bench_observaciones [observations] [localities]
#include "Mediana.h"
#include "Poblar.h"
#include "Tabla.h"
#include "support/Files.h"
#include "support/TestDatabase.h"

#include "data/ModConex.h"
#include "gui/ChoiceService.h"
#include "gui/MessageService.h"
#include "observations/ObservationStore.h"
#include "observations/frcons.h"
#include "observations/frmodif.h"
#include "observations/newobs.h"
#include "ui_frmodif.h"
#include "ui_newobs.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QProcess>
#include <QPushButton>
#include <QSqlQuery>
#include <QStandardItemModel>
#include <QStandardPaths>
#include <QTableView>
#include <QTest>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

// Every row of the query's statement read bare, nothing kept: what a spreadsheet of all of
// them must at least do.
qint64 Desnuda(const ObservationFilter &f) {
    QElapsedTimer t;
    t.start();
    ObservationStore store;
    QSqlQuery q = store.Consultar(f, false);
    int n = 0;
    while (q.next())
        ++n;
    Q_ASSERT(n > 0);
    return t.nsecsElapsed();
}

// What the query's form must at least do: read the statement's first screenful (the rows a
// grid reads first), count its rows joining only the tables the filter reads, and show the
// rows in a plain grid of the form's size, its columns as wide as the rows in sight need
// (Qt's own measure), so that the values can be read.
QTableView *rejilla = nullptr;
qint64 Suelo(const QString &donde, const QString &unionesCuenta, const QVariantList &valores) {
    QElapsedTimer t;
    t.start();
    QSqlQuery q(ModConex::DatabaseConnection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT ") + ObservationStore::ColumnasConsulta().ListaSelect() +
              QStringLiteral(" FROM observacion o"
                             " LEFT JOIN localidad loc ON loc.cod_localidad = o.localidad"
                             " LEFT JOIN observador obs ON obs.cod_observador = o.observador1"
                             " LEFT JOIN tperiodo p ON p.id_periodo = o.periodo"
                             " LEFT JOIN especie e ON e.cod_especie = o.especie"
                             " LEFT JOIN tbeaufort v ON v.id_beaufort = o.viento"
                             " LEFT JOIN tmeteo me ON me.id_meteo = o.meteo"
                             " LEFT JOIN testadio et ON et.id_estadio = o.estadio"
                             " LEFT JOIN tconducta c ON c.id_conducta = o.conducta"
                             " LEFT JOIN thabitat h ON h.id_habitat = o.habitat"
                             " LEFT JOIN tprovincia pr ON pr.id_prov = loc.prov"
                             " LEFT JOIN tmunicipio mu ON mu.id_muni = loc.muni") +
              donde + QStringLiteral(" ORDER BY o.fecha, o.id_observacion LIMIT 256"));
    for (const QVariant &v : valores)
        q.addBindValue(v);
    q.exec();
    auto *modelo =
        new QStandardItemModel(0, int(ObservationStore::ColumnasConsulta().size()), rejilla);
    while (q.next()) {
        QList<QStandardItem *> fila;
        for (int i = 0; i < modelo->columnCount(); ++i)
            fila << new QStandardItem(q.value(i).toString());
        modelo->appendRow(fila);
    }
    const int n = modelo->rowCount();
    QSqlQuery c(ModConex::DatabaseConnection());
    c.prepare(QStringLiteral("SELECT count(*) FROM observacion o") + unionesCuenta + donde);
    for (const QVariant &v : valores)
        c.addBindValue(v);
    c.exec();
    c.next();
    Q_ASSERT(n > 0 && c.value(0).toInt() > 0);
    QAbstractItemModel *antes = rejilla->model();
    rejilla->setModel(modelo);
    delete antes;
    rejilla->resizeColumnsToContents();
    rejilla->repaint();
    return t.nsecsElapsed();
}

// The lists of an observation form read with plain queries into memory. The change form
// keeps each locality's identifier beside its name (names may repeat); the new one only
// the names.
qint64 Listas(bool identificadores) {
    QElapsedTimer t;
    t.start();
    const char *sentencias[] = {
        "SELECT cd_obs FROM DefaultObs",
        "SELECT nombre, apellido FROM observador WHERE cod_observador = 'OB1'",
        "SELECT DISTINCT utm10 FROM tutm10kprovincia ORDER BY utm10",
        "SELECT viento, velocidad FROM tbeaufort ORDER BY id_beaufort",
        "SELECT meteo_cast FROM tmeteo ORDER BY id_meteo",
        "SELECT period_cast FROM tperiodo ORDER BY id_periodo",
        "SELECT cod_especie, n_especie FROM especie ORDER BY cod_especie",
        "SELECT estad_cast FROM testadio ORDER BY id_estadio",
        "SELECT motivo_cast FROM motivo ORDER BY id_motivo",
        "SELECT conduct_cast FROM tconducta ORDER BY id_conducta",
        "SELECT habitat FROM thabitat ORDER BY id_habitat",
        "SELECT prov_cast FROM tprovincia"};
    QStringList todo;
    for (const char *s : sentencias) {
        QSqlQuery q(ModConex::DatabaseConnection());
        q.setForwardOnly(true);
        q.exec(QString::fromLatin1(s));
        while (q.next())
            todo << q.value(0).toString();
    }
    QSqlQuery q(ModConex::DatabaseConnection());
    q.setForwardOnly(true);
    QVariantList ids;
    q.exec(identificadores ? QStringLiteral("SELECT localidad, id_localidad FROM localidad ORDER "
                                            "BY localidad, id_localidad")
                           : QStringLiteral("SELECT localidad FROM localidad ORDER BY localidad"));
    while (q.next()) {
        todo << q.value(0).toString();
        if (identificadores) ids << q.value(1);
    }
    return t.nsecsElapsed();
}

// A form's widgets as its Designer file lays them out (the place panel and the photo strip
// included), built and shown bare: no list filled, no handler, no check.
template <class Ui> qint64 Controles() {
    QElapsedTimer t;
    t.start();
    {
        QWidget w;
        Ui ui;
        ui.setupUi(&w);
        w.show();
    }
    QApplication::processEvents();
    return t.nsecsElapsed();
}

// LibreOffice turning the same rows, as CSV, into a workbook: what a user would do without
// the program. Run when LibreOffice is installed (make bench installs it).
void Calc(const TestDatabase &bd, qint64 programa) {
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty()) {
        std::printf("  (LibreOffice not installed: its comparison is left out)\n");
        return;
    }
    const QString csv = bd.carpeta() + QStringLiteral("/todas.csv");
    {
        QFile f(csv);
        if (!f.open(QIODevice::WriteOnly)) return;
        QTextStream out(&f);
        out << ObservationStore::ColumnasConsulta().Titulos().join(u',') << '\n';
        ObservationStore store;
        QSqlQuery q = store.Consultar({}, false);
        const int columnas = int(ObservationStore::ColumnasConsulta().size());
        while (q.next()) {
            QStringList fila;
            for (int i = 0; i < columnas; ++i)
                fila << u'"' + q.value(i).toString().replace(u'"', QStringLiteral("\"\"")) + u'"';
            out << fila.join(u',') << '\n';
        }
    }
    QElapsedTimer t;
    t.start();
    QProcess lo;
    lo.start(
        soffice,
        {QStringLiteral("-env:UserInstallation=file://") + bd.carpeta() + QStringLiteral("/perfil"),
         QStringLiteral("--headless"), QStringLiteral("--convert-to"), QStringLiteral("xlsx"),
         QStringLiteral("--outdir"), bd.carpeta() + QStringLiteral("/calc"), csv});
    lo.waitForFinished(-1);
    const qint64 calc = t.nsecsElapsed();
    if (!QFile::exists(bd.carpeta() + QStringLiteral("/calc/todas.xlsx"))) {
        std::printf("  (LibreOffice wrote no workbook: %s)\n",
                    lo.readAllStandardError().constData());
        return;
    }
    FilaTabla("spreadsheet: LibreOffice from CSV / program", calc / 1e6, programa / 1e6, ">= 5");
}

// A line of /proc/self/status in MiB (VmRSS: now, VmHWM: the peak).
double MemoriaMiB(const char *campo) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray &linea : f.readAll().split('\n'))
        if (linea.startsWith(campo))
            return linea.mid(qstrlen(campo)).trimmed().split(' ').first().toDouble() / 1024;
    return 0;
}

qint64 Medir(const std::function<void()> &hacer) {
    QElapsedTimer t;
    t.start();
    hacer();
    QApplication::processEvents();
    return t.nsecsElapsed();
}

void Informar(const char *que, qint64 forma, qint64 base, const char *objetivo) {
    FilaTabla(que, forma / 1e6, base / 1e6, objetivo);
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
    std::printf("observations %d, localities %d\n", observaciones, localidades);

    frcons consulta;
    consulta.show();
    auto *buscar = consulta.findChild<QPushButton *>(QStringLiteral("CdBuscar"));
    auto *provincia = consulta.findChild<QComboBox *>(QStringLiteral("Cbprov"));
    auto *observador = consulta.findChild<QComboBox *>(QStringLiteral("Cbobs"));
    const int madrid = provincia->findText(QStringLiteral("Madrid"));
    QTableView plana;
    plana.resize(consulta.findChild<QTableView *>(QStringLiteral("DBObs"))->size());
    plana.horizontalHeader()->setResizeContentsPrecision(0); // the rows in sight
    plana.show();
    rejilla = &plana;

    // All of them: the first screen and the exact count.
    provincia->setCurrentIndex(0);
    observador->setEditText(QString());
    Suelo({}, {}, {});
    const auto buscarMedido = [&] {
        return Medir([&] { QTest::mouseClick(buscar, Qt::LeftButton); });
    };
    const QList<qint64> t = Alternas({[] { return Suelo({}, {}, {}); }, buscarMedido}, 5);
    const qint64 todasBase = t[0], todas = t[1];
    Informar("query, all: first screen + count", todas, todasBase, "<= 1.5");
    // Its count alone, as the form asks the store for it, against the bare count: the part
    // that must grow with the rows, apart from the screen that must not.
    const QList<qint64> k =
        Alternas({[] {
                      return Medir([] {
                          QSqlQuery c(ModConex::DatabaseConnection());
                          c.exec(QStringLiteral("SELECT count(*) FROM observacion o"));
                          c.next();
                      });
                  },
                  [] { return Medir([] { ObservationStore().Contar({}); }); }},
                 5);
    FilaTabla("query, all: its count alone", k[1] / 1e3, k[0] / 1e3, "<= 1.5", "us");

    // Filtered by province and observer.
    provincia->setCurrentIndex(madrid);
    observador->setEditText(QStringLiteral("ana"));
    const QString donde = QStringLiteral(
        " WHERE (coalesce(obs.nombre, '') || ' ' || coalesce(obs.apellido, '')) LIKE ? "
        "ESCAPE '\\' AND pr.prov_cast = ?");
    const QString uniones =
        QStringLiteral(" LEFT JOIN localidad loc ON loc.cod_localidad = o.localidad"
                       " LEFT JOIN observador obs ON obs.cod_observador = o.observador1"
                       " LEFT JOIN tprovincia pr ON pr.id_prov = loc.prov");
    const QVariantList valores = {QStringLiteral("%ana%"), QStringLiteral("Madrid")};
    const QList<qint64> f =
        Alternas({[&] { return Suelo(donde, uniones, valores); }, buscarMedido}, 5);
    const qint64 filtradaBase = f[0], filtrada = f[1];
    Informar("query, filtered: first screen + count", filtrada, filtradaBase, "<= 1.5");

    // The spreadsheet of every row, against reading every row.
    provincia->setCurrentIndex(0);
    observador->setEditText(QString());
    QTest::mouseClick(buscar, Qt::LeftButton);
    const qint64 leerTodas = Mediana([] { return Desnuda({}); }, 3);
    const QString ruta = bd.carpeta() + QStringLiteral("/todas.xlsx");
    ChoiceService::Prueba().archivoGuardar = [&](const QString &, const QString &) { return ruta; };
    ChoiceService::Prueba().abrir = [](const QUrl &) { return true; };
    auto *excel = consulta.findChild<QPushButton *>(QStringLiteral("Excel"));
    const double antes = MemoriaMiB("VmRSS:");
    // The peak counted from here (the kernel's reset of VmHWM).
    Files::Write(QStringLiteral("/proc/self/clear_refs"), "5");
    const qint64 hoja =
        Mediana([&] { return Medir([&] { QTest::mouseClick(excel, Qt::LeftButton); }); }, 3);
    const double pico = MemoriaMiB("VmHWM:");
    Informar("spreadsheet, all rows / reading them", hoja, leerTodas, "<= 2");
    std::printf("  (%lld bytes written)\n", static_cast<long long>(QFile(ruta).size()));
    const QByteArray memoria =
        "spreadsheet: peak resident / before, " + QByteArray::number(observaciones / 1000) + "k";
    FilaTabla(memoria.constData(), pico, antes, "-", "MiB");
    // LibreOffice takes minutes on a million rows: compared on the usual size only.
    if (observaciones <= 200000) Calc(bd, hoja);

    // Opening the observation forms with many localities.
    const int id = 1;
    // The floor of opening each form: its plain queries and its bare widgets.
    Listas(true);
    Controles<Ui::newobs>();
    const auto abrirNueva = [] {
        return Medir([] {
            newobs f;
            f.show();
        });
    };
    const QList<qint64> n =
        Alternas({[] { return Listas(false); }, Controles<Ui::newobs>, abrirNueva}, 7);
    const qint64 listas = n[0], controlesNueva = n[1], nueva = n[2];
    std::printf("  newobs: plain queries %.1f ms (ratio %.2f), bare widgets %.1f ms\n",
                listas / 1e6, double(nueva) / double(listas), controlesNueva / 1e6);
    Informar("newobs opened", nueva, listas + controlesNueva, "<= 1.5");
    const auto abrirCambio = [&] {
        return Medir([&] {
            frmodif *f = frmodif::Abrir(nullptr, id, {});
            delete f;
        });
    };
    const QList<qint64> m =
        Alternas({abrirCambio, [] { return Listas(true); }, Controles<Ui::frmodif>}, 7);
    const qint64 cambio = m[0], listasCambio = m[1], controlesCambio = m[2];
    std::printf("  frmodif: plain queries %.1f ms (ratio %.2f), bare widgets %.1f ms\n",
                listasCambio / 1e6, double(cambio) / double(listasCambio), controlesCambio / 1e6);
    Informar("frmodif opened and loaded", cambio, listasCambio + controlesCambio, "<= 1.5");
    return 0;
}
