#include "support/TestDatabase.h"

#include "observations/ObservationStore.h"

#include <QTest>

using namespace Qt::StringLiterals;

class tst_ObservationStore : public QObject {
    Q_OBJECT
private slots:
    void guardarTodoONada();
};

void tst_ObservationStore::guardarTodoONada() {
    TestDatabase bd;
    ObservationStore observaciones;
    QCOMPARE(observaciones.SiguienteNumero(), 0);
    Observacion o;
    o.observador[0] = u"JPG1980"_s;
    o.fecha = QDate(2026, 3, 14);
    o.especie = u"BUFSPI"_s;
    o.localidad = u"AV1"_s;
    Localidad nueva{0, u"AV1"_s, u"Charca nueva"_s, 5, 5019};
    const QString estado = u"SELECT (SELECT count(*) FROM localidad) || '|' || "
                           "(SELECT count(*) FROM observacion)"_s;

    // Refused half way, after the new locality went in: neither stays, and the reason is
    // kept; a taken locality code stops the save before the observation.
    QVERIFY(bd.Rechazar(u"observacion"_s, u"observación rechazada"_s));
    QVERIFY(!observaciones.Guardar(o, nueva));
    QVERIFY2(observaciones.error().contains(u"observación rechazada"_s),
             qPrintable(observaciones.error()));
    QCOMPARE(bd.Valor(estado).toString(), u"0|0"_s);
    QVERIFY(bd.Permitir(u"observacion"_s));
    bd.Ejecutar(u"INSERT INTO localidad (cod_localidad, localidad) VALUES ('av1', 'Vieja')"_s);
    observaciones.Limpiar();
    QVERIFY(!observaciones.Guardar(o, nueva));
    QVERIFY(observaciones.claveDuplicada());
    QCOMPARE(bd.Valor(estado).toString(), u"1|0"_s);

    // Stored: with a new locality, then with a known one; numbers follow the highest.
    nueva.codigo = o.localidad = u"AV2"_s;
    observaciones.Limpiar();
    const auto primera = observaciones.Guardar(o, nueva);
    QVERIFY2(primera, qPrintable(observaciones.error()));
    QCOMPARE(observaciones.Guardar(o, std::nullopt), *primera + 1);
    QCOMPARE(bd.Valor(estado).toString(), u"2|2"_s);
    QCOMPARE(bd.Valor(u"SELECT fecha || '|' || localidad FROM observacion WHERE "
                      "id_observacion = ?"_s,
                      {*primera})
                 .toString(),
             u"2026-03-14|AV2"_s);
    QCOMPARE(observaciones.SiguienteNumero(), *primera + 2);
}

QTEST_MAIN(tst_ObservationStore)
#include "tst_ObservationStore.moc"
