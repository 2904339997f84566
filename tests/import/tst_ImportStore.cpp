#include "import/ImportStore.h"
#include "support/TestDatabase.h"

#include "ImportFixtures.h"

#include <QTest>

#include <cmath>

using namespace Qt::StringLiterals;
using E = ImportStore::Estado;

class tst_ImportStore : public QObject {
    Q_OBJECT
private slots:
    void importar();
    void falloAMitad();
};

namespace {
constexpr double kLatSol = 40.416775, kLonSol = -3.703790;

QList<Import::Record> Registros() {
    auto sol = [](double este, double norte) { return Desplazar(kLatSol, kLonSol, este, norte); };
    auto incierto = [](Import::Record r, int metros) {
        r.incertidumbre = metros;
        return r;
    };
    QList<Import::Record> r = {
        // An older name; the stored locality 0 m away is taken, its unknown uncertainty kept.
        incierto(Punto(1, sol(0, 0), u"Bufo calamita"_s), 10),
        // The common name, 60 m away on the same day: the same observation again.
        Punto(2, sol(0, 60), u"Sapo corredor"_s),
        // 150 m away: a new locality named from the waypoint; species from the description.
        Punto(3, sol(150, 0), u"Fuente del Oso"_s, u"2024-05-03"_s, u"Rana común cantando"_s),
        // 50 m from that one: the same new locality.
        Punto(4, sol(200, 0), u"Lagarto ocelado"_s),
        // Stored already for this observer, day and locality.
        Punto(5, sol(10, 10), u"Rana perezi"_s),
        Punto(6, {-10.0, 42.9}, u"Rana perezi"_s),        // at sea
        Punto(7, sol(0, 0), u"Rana perezi"_s, QString()), // no date
        Punto(8, sol(0, 0), u"Gato montés"_s),
        Punto(9, EnLimite(28079), u"Rana perezi"_s),
    };
    // A row of the program's own sheet: a UTM position, kept as written.
    r << Import::Record{.linea = 10,
                        .fecha = QDate(2024, 6, 1),
                        .especies = {u"Timon lepidus"_s},
                        .numero = 4,
                        .huso = u"30"_s,
                        .este = 440591,
                        .norte = 4474254,
                        .lugar = u"Cerro"_s,
                        .otros = {{u"OBSERVADOR2"_s, u"LUIS"_s}}};
    // Inside the circle of a stored locality of 20 m: taken; outside it: a new one, whose
    // circle holds both of its rows'.
    r << incierto(Punto(11, sol(605, 0), u"Rana perezi"_s), 10)
      << incierto(Punto(12, sol(640, 0), u"Rana perezi"_s), 5)
      << incierto(Punto(13, sol(660, 0), u"Lagarto ocelado"_s), 8);
    // Rows the platform marks: a captive animal, a hidden position.
    Import::Record cautiva = Punto(14, sol(0, 0), u"Rana perezi"_s);
    cautiva.cautividad = true;
    Import::Record oculta = Punto(15, sol(0, 0), u"Rana perezi"_s);
    oculta.geograficas = false;
    oculta.posicionOculta = true;
    r << cautiva << oculta;
    return r;
}

QString Estados(const QList<ImportStore::Fila> &filas) {
    QStringList r;
    for (const auto &f : filas)
        r << u"%1 %2 %3 %4%5 %6"_s.arg(f.registro.linea)
                 .arg(ImportStore::TextoEstado(f.estado), f.especie,
                      f.codigoLocalidad.isEmpty() && f.nueva >= 0
                          ? u"nueva"_s + QString::number(f.nueva)
                          : f.codigoLocalidad,
                      f.marcada ? u" x"_s : QString(), QString::number(f.muni));
    return r.join(u'\n');
}
} // namespace

void tst_ImportStore::importar() {
    TestDatabase bd(TestDatabase::Datos::Reales);
    bd.Ejecutar(u"INSERT INTO observador (cod_observador, nombre, apellido) VALUES "
                "('ANA', 'Ana', 'Pérez'), ('LUIS', 'Luis', 'Gil'), ('ZOE', 'Zoe', 'Ruiz')"_s);
    bd.Ejecutar(u"UPDATE DefaultObs SET cd_obs = 'LUIS'"_s);
    bd.Ejecutar(u"INSERT INTO localidad (cod_localidad, localidad, prov, muni, utmx, utmy, "
                "utmhuso, utm1k, utm10k, incertidumbre) VALUES ('SOL', 'Puerta del Sol', 28, "
                "28079, 440291, 4474254, '30', 'VK4074', 'VK47', NULL), ('GET', 'Getafe', 28, "
                "28065, 440291, 4474254, '30', 'VK4074', 'VK47', NULL), ('POZ', 'Pozo', 28, 28079, "
                "440891, 4474254, '30', 'VK4074', 'VK47', 20)"_s);
    bd.Ejecutar(
        u"INSERT INTO observacion (observador1, fecha, especie, localidad) VALUES "
        "('ANA', '2024-05-03', 'PELPER', 'SOL'), ('LUIS', '2024-05-03', 'EPICAL', 'SOL')"_s);

    ImportStore store;
    QStringList codigos, nombres;
    QVERIFY(store.Observadores(&codigos, &nombres));
    QCOMPARE_EQ(codigos, QStringList({"LUIS", "ANA", "ZOE"}));

    QList<ImportStore::Fila> filas;
    QVERIFY2(store.Preparar(Registros(), u"ANA"_s, &filas), qPrintable(store.error()));
    QCOMPARE_EQ(Estados(filas), u"1 nueva EPICAL SOL x 28079\n"
                                "2 duplicada EPICAL SOL 28079\n"
                                "3 nueva PELPER nueva0 x 28079\n"
                                "4 nueva TIMLEP nueva0 x 28079\n"
                                "5 duplicada PELPER SOL 28079\n"
                                "6 fuera de España PELPER  0\n"
                                "7 sin fecha PELPER  28079\n"
                                "8 especie no reconocida   28079\n"
                                "9 elija el municipio PELPER  0\n"
                                "10 nueva TIMLEP nueva1 x 28079\n"
                                "11 nueva PELPER POZ x 28079\n"
                                "12 nueva PELPER nueva2 x 28079\n"
                                "13 nueva TIMLEP nueva2 x 28079\n"
                                "14 en cautividad PELPER  28079\n"
                                "15 posición oculta en iNaturalist PELPER  0"_s);
    QCOMPARE_EQ(filas[2].nombreLocalidad, u"Fuente del Oso"_s);
    QCOMPARE_EQ(filas[3].nombreLocalidad, u"Fuente del Oso"_s);
    QVERIFY(filas[8].candidatos.contains(28079) && filas[8].candidatos.size() >= 2);

    // The user chooses the municipality of the row on the boundary, and unticks row 4;
    // for another observer, row 1 is no duplicate of LUIS's record.
    filas[8].muni = filas[8].candidatos.last();
    filas[3].marcada = false;
    QVERIFY(store.Evaluar(&filas, u"ANA"_s));
    QCOMPARE_EQ(Estados(filas).section(u'\n', 8, 8),
                u"9 nueva PELPER nueva1 x %1"_s.arg(filas[8].candidatos.last()));
    QVERIFY(!filas[3].marcada);

    const int antes = bd.Contar(u"observacion"_s);
    const auto resumen = store.Guardar(&filas, u"ANA"_s);
    QVERIFY2(resumen, qPrintable(store.error()));
    QCOMPARE_EQ(u"%1 %2"_s.arg(resumen->observaciones).arg(resumen->localidades), u"7 4"_s);
    QStringList omitidas;
    for (const auto &[porque, cuantas] : resumen->omitidas.asKeyValueRange())
        omitidas << porque + u' ' + QString::number(cuantas);
    QCOMPARE_EQ(omitidas.join(u", "_s), u"duplicada 2, en cautividad 1, especie no reconocida 1, "
                                        "fuera de España 1, posición oculta en iNaturalist 1, "
                                        "sin fecha 1, sin marcar 1"_s);
    QCOMPARE_EQ(bd.Contar(u"observacion"_s), antes + 7);
    // The stored localities keep their uncertainties; the new one of rows 12 and 13 reaches
    // from row 12's point to the far side of row 13's circle; the others are unknown.
    const double alcance = std::max(5.0, std::hypot(double(filas[12].este - filas[11].este),
                                                    double(filas[12].norte - filas[11].norte)) +
                                             8.0);
    QCOMPARE_EQ(bd.Lineas(u"SELECT incertidumbre FROM localidad ORDER BY id_localidad"_s),
                u"NULL\nNULL\n20\nNULL\nNULL\nNULL\n%1"_s.arg(std::ceil(alcance)));
    // Codes as the code prompt proposes them: the observer's and the next number.
    const QString siguiente = u"ANA%1"_s.arg(antes + 1);
    QCOMPARE_EQ(bd.Lineas(u"SELECT cod_localidad, localidad, muni, prov, utmhuso, utmx, utmy, "
                          "utm10k, utm1k FROM localidad WHERE id_localidad = 4"_s),
                siguiente + u"|Fuente del Oso|28079|28|30|440441|4474253|VK47|VK4074"_s);
    QCOMPARE_EQ(bd.Lineas(u"SELECT l.utmx, l.utmy, l.utm1k, observador1, observador2, numejemp, "
                          "especie FROM observacion o JOIN localidad l ON l.cod_localidad = "
                          "o.localidad WHERE l.localidad = 'Cerro'"_s),
                u"440591|4474254|VK4074|ANA|LUIS|4|TIMLEP"_s);
    QCOMPARE_EQ(bd.Lineas(u"SELECT fecha, horaini FROM observacion WHERE localidad = 'SOL' AND "
                          "observador1 = 'ANA' AND especie = 'EPICAL'"_s),
                u"2024-05-03|10:00"_s);
    // Afterwards the grid shows the stored rows as duplicates; row 4 is still on offer.
    QCOMPARE_EQ(filas[0].estado, E::Duplicada);
    QCOMPARE_EQ(filas[3].estado, E::Nueva);

    // No observer chosen: refused (the same file again: tst_frimportar).
    QVERIFY(!store.Guardar(&filas, QString()));
    QCOMPARE_EQ(store.error(), u"Elija el observador de las observaciones."_s);
    QCOMPARE_EQ(bd.Contar(u"observacion"_s), antes + 7);
}

void tst_ImportStore::falloAMitad() {
    // The third insert fails: no observation and no locality is left behind.
    TestDatabase bd(TestDatabase::Datos::Reales);
    bd.Ejecutar(u"INSERT INTO observador (cod_observador) VALUES ('ANA')"_s);
    bd.Rechazar(u"observacion"_s, u"disco lleno"_s, u"NEW.especie = 'TIMLEP'"_s);
    ImportStore store;
    QList<ImportStore::Fila> filas;
    QVERIFY(store.Preparar(Registros(), u"ANA"_s, &filas) && !store.Guardar(&filas, u"ANA"_s));
    QVERIFY2(store.error().contains(u"disco lleno"_s), qPrintable(store.error()));
    QCOMPARE_EQ(bd.Contar(u"observacion"_s), 0);
    QCOMPARE_EQ(bd.Contar(u"localidad"_s), 0);
    // The connection closed under the import: refused, nothing stored.
    bd.Permitir(u"observacion"_s);
    bd.db().close();
    QVERIFY(!store.Guardar(&filas, u"ANA"_s) && !store.error().isEmpty());
}

QTEST_GUILESS_MAIN(tst_ImportStore)
#include "tst_ImportStore.moc"
