// Saving a visit's species list of 50 rows, through the store and through the form's button
// (its checks and duplicate question included), each as a ratio against the bare inserts of
// the same rows in one transaction, measured in the same run.
//   QT_QPA_PLATFORM=offscreen build/bench/bench_lista [observations already stored]
#include "support/TestDatabase.h"

#include "data/ModConex.h"
#include "gui/MessageService.h"
#include "gui/ModBaseDatosGui.h"
#include "observations/ObservationStore.h"
#include "observations/frlista.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>
#include <algorithm>
#include <cstdio>

namespace {

constexpr int kFilas = 50;

void Poblar(const TestDatabase &bd, int observaciones) {
    QSqlDatabase db = bd.db();
    db.transaction();
    QSqlQuery q(db);
    q.exec(QStringLiteral("INSERT INTO observador (cod_observador, nombre, apellido, email) "
                          "VALUES ('JPG', 'Juan', 'Pérez', 'j@x.es')"));
    q.exec(QStringLiteral("UPDATE DefaultObs SET cd_obs = 'JPG'"));
    q.exec(QStringLiteral("INSERT INTO localidad (cod_localidad, localidad, prov, muni, utmhuso, "
                          "utmx, utmy, utm1k, utm10k) VALUES ('L1', 'Laguna', 28, 28079, '30', "
                          "440291, 4474254, 'VK4074', 'VK47')"));
    q.prepare(QStringLiteral("INSERT INTO observacion (observador1, fecha, especie, numejemp, "
                             "localidad) VALUES ('JPG', ?, 'SALSAL', 1, 'L1')"));
    for (int i = 0; i < observaciones; ++i) {
        q.addBindValue(QDate(1990, 1, 1).addDays(i % 12000).toString(Qt::ISODate));
        q.exec();
    }
    db.commit();
}

// The rows of a list: the visit's values, one species each.
QList<Observacion> Filas(const QStringList &especies, const QDate &dia) {
    QList<Observacion> r;
    for (int i = 0; i < kFilas; ++i) {
        Observacion o;
        o.observador[0] = QStringLiteral("JPG");
        o.fecha = dia;
        o.horaini = QStringLiteral("09:30");
        o.horafin = QStringLiteral("11:00");
        o.especie = especies[i].section(QStringLiteral(" - "), 0, 0);
        o.numejemp = i + 1;
        o.descripcion = QStringLiteral("Fila %1").arg(i);
        o.localidad = QStringLiteral("L1");
        r << o;
    }
    return r;
}

// The same rows inserted bare: one prepared statement, one transaction.
qint64 Desnudas(const QList<Observacion> &filas) {
    QElapsedTimer t;
    t.start();
    QSqlDatabase db = ModConex::DatabaseConnection();
    db.transaction();
    QSqlQuery q(db);
    q.prepare(QStringLiteral("INSERT INTO observacion (observador1, observador2, observador3, "
                             "observador4, fecha, horaini, horafin, periodo, meteo, viento, "
                             "especie, numejemp, numaprox, estadio, conducta, descripcion, "
                             "motivo, habitat, localidad) "
                             "VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
    for (const Observacion &o : filas) {
        for (const QVariant &v :
             {QVariant(o.observador[0]), QVariant(o.observador[1]), QVariant(o.observador[2]),
              QVariant(o.observador[3]), QVariant(o.fecha.toString(Qt::ISODate)),
              QVariant(o.horaini), QVariant(o.horafin), QVariant(o.periodo), QVariant(o.meteo),
              QVariant(o.viento), QVariant(o.especie), o.numejemp, QVariant(0), QVariant(o.estadio),
              QVariant(o.conducta), QVariant(o.descripcion), QVariant(o.motivo),
              QVariant(o.habitat), QVariant(o.localidad)})
            q.addBindValue(v);
        if (!q.exec()) std::printf("bare insert failed\n");
    }
    db.commit();
    return t.nsecsElapsed();
}

void Informar(const char *que, qint64 medida, qint64 base) {
    std::printf("%-42s %8.2f ms  bare %8.2f ms  ratio %.2f\n", que, medida / 1e6, base / 1e6,
                double(medida) / double(base));
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    const int observaciones = argc > 1 ? atoi(argv[1]) : 100000;
    MessageService::setModoPrueba(true);
    TestDatabase bd(TestDatabase::Datos::Reales);
    if (!bd.ok()) return 1;
    Poblar(bd, observaciones);
    std::printf("observations stored %d, rows saved %d\n", observaciones, kFilas);

    frlista f;
    f.show();
    QApplication::setActiveWindow(&f);
    auto *primera = f.findChild<QComboBox *>(QStringLiteral("Cbespecie1"));
    QStringList especies;
    for (int i = 0; i < primera->count(); ++i)
        especies << primera->itemText(i);
    // Each run on a day of its own: no stored repeats to ask about.
    int dias = 0;
    const auto dia = [&] { return QDate(2030, 1, 1).addDays(dias++); };

    // The form: the header's locality chosen, 50 rows filled (not timed), then the click.
    auto *localidad = f.findChild<QComboBox *>(QStringLiteral("Cbloc"));
    ModBaseDatos::ElegirComoUsuario(localidad, localidad->findText(QStringLiteral("Laguna")));
    const auto porFormulario = [&] {
        f.findChild<QDateEdit *>(QStringLiteral("Txdata"))->setDate(dia());
        for (int i = 1; i <= kFilas; ++i) {
            const QString n = QString::number(i);
            auto *lista = f.findChild<QComboBox *>(QStringLiteral("Cbespecie") + n);
            ModBaseDatos::ElegirComoUsuario(lista, i - 1);
            f.findChild<QLineEdit *>(QStringLiteral("Txexemplars") + n)->setText(n);
            auto *desc = f.findChild<QLineEdit *>(QStringLiteral("Txdesc") + n);
            desc->setText(QStringLiteral("Fila %1").arg(i));
            desc->setFocus();
            QTest::keyClick(desc, Qt::Key_Tab); // the next row
        }
        MessageService::Limpiar();
        QElapsedTimer t;
        t.start();
        QTest::mouseClick(f.findChild<QPushButton *>(QStringLiteral("CdGuardar")), Qt::LeftButton);
        const qint64 ns = t.nsecsElapsed();
        if (!MessageService::Ultimo().texto.startsWith(QStringLiteral("Se han registrado 50")))
            std::printf("form: %s\n", qPrintable(MessageService::Ultimo().texto));
        return ns;
    };
    const auto porAlmacen = [&] {
        const QList<Observacion> filas = Filas(especies, dia());
        QElapsedTimer t;
        t.start();
        ObservationStore store;
        if (!store.GuardarVarias(filas, std::nullopt))
            std::printf("%s\n", qPrintable(store.error()));
        return t.nsecsElapsed();
    };

    // The three in turn, so that a busy moment of the machine weighs on each alike.
    Desnudas(Filas(especies, dia()));
    QList<qint64> base, almacen, formulario;
    for (int i = 0; i < 9; ++i) {
        base << Desnudas(Filas(especies, dia()));
        almacen << porAlmacen();
        formulario << porFormulario();
    }
    const auto mediana = [](QList<qint64> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    Informar("store, 50 rows in one transaction", mediana(almacen), mediana(base));
    Informar("form's Guardar, 50 rows (checks included)", mediana(formulario), mediana(base));
    return 0;
}
