#include "support/TestDatabase.h"

#include "data/ModBaseDatos.h"
#include "localities/LocalityStore.h"
#include "observations/ObservationStore.h"
#include "observations/ReasonStore.h"
#include "observers/ObserverStore.h"

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
    Observacion o{.observador = {u"JPG1980"_s},
                  .fecha = QDate(2026, 3, 14),
                  .especie = u"BUFSPI"_s,
                  .localidad = u"AV1"_s};
    Localidad nueva{0, u"AV1"_s, u"Charca nueva"_s, 5, 5019};
    const QString estado =
        u"SELECT (SELECT count(*) FROM localidad), (SELECT count(*) FROM observacion)"_s;

    // Refused half way, after the new locality went in: neither stays, and the reason is
    // kept; a taken locality code stops the save before the observation.
    QVERIFY(bd.Rechazar(u"observacion"_s, u"observación rechazada"_s));
    QVERIFY(!observaciones.Guardar(o, nueva));
    QVERIFY2(observaciones.error().contains(u"observación rechazada"_s),
             qPrintable(observaciones.error()));
    QCOMPARE(bd.Lineas(estado), u"0|0"_s);
    QVERIFY(bd.Permitir(u"observacion"_s));
    bd.Ejecutar(u"INSERT INTO localidad (cod_localidad, localidad) VALUES ('av1', 'Vieja')"_s);
    observaciones.Limpiar();
    QVERIFY(!observaciones.Guardar(o, nueva) && observaciones.claveDuplicada());
    QCOMPARE(bd.Lineas(estado), u"1|0"_s);

    // A visit's list: one row refused (a description over the limit) stores none of them,
    // nor its new locality, and names the row; then all of them, the locality once.
    QList<Observacion> visita(3, o);
    visita[1].especie = u"SALSAL"_s;
    visita[2].descripcion = QString(ModBaseDatos::kMaximoTexto + 1, u'x');
    const Localidad charca{0, u"AV9"_s, u"Charca de la visita"_s, 5, 5019};
    observaciones.Limpiar();
    QVERIFY(!observaciones.GuardarVarias(visita, charca) && !observaciones.error().isEmpty());
    QCOMPARE(observaciones.filaRechazada(), 2);
    QCOMPARE(bd.Lineas(estado), u"1|0"_s);
    visita[2].descripcion = u"bajo la piedra"_s;
    observaciones.Limpiar();
    const auto ids = observaciones.GuardarVarias(visita, charca);
    QVERIFY2(ids && ids->size() == 3, qPrintable(observaciones.error()));
    QCOMPARE(observaciones.filaRechazada(), -1);
    QCOMPARE(bd.Valor(u"SELECT count(*) FROM observacion WHERE localidad = 'AV9'"_s).toInt(), 3);
    QCOMPARE(bd.Lineas(estado), u"2|3"_s);
    // Its repeats, read in one go: a code stored in other case is the same species; another
    // stage, or another day, is not a repeat.
    bd.Ejecutar(u"UPDATE observacion SET especie = 'salsal' WHERE especie = 'SALSAL'"_s);
    visita[0].localidad = visita[1].localidad = visita[2].localidad = u"AV9"_s;
    visita[2].estadio = 2;
    Observacion otroDia = visita[1];
    otroDia.fecha = otroDia.fecha.addDays(1);
    const auto iguales = observaciones.ExistenIguales(visita << otroDia);
    QCOMPARE(iguales.value_or(QList<bool>()), (QList<bool>{true, true, false, false}));
    bd.Ejecutar(u"DELETE FROM observacion"_s);
    bd.Ejecutar(u"DELETE FROM localidad WHERE cod_localidad = 'AV9'"_s);

    // Stored: with a new locality, then with a known one; numbers follow the highest.
    nueva.codigo = o.localidad = u"AV2"_s;
    observaciones.Limpiar();
    const auto primera = observaciones.Guardar(o, nueva);
    QVERIFY2(primera, qPrintable(observaciones.error()));
    QCOMPARE(observaciones.Guardar(o, std::nullopt), *primera + 1);
    QCOMPARE(bd.Lineas(estado), u"2|2"_s);
    QCOMPARE(bd.Lineas(u"SELECT fecha, localidad FROM observacion WHERE id_observacion = ?"_s,
                       {*primera}),
             u"2026-03-14|AV2"_s);
    QCOMPARE(observaciones.SiguienteNumero(), *primera + 2);

    // Descriptions and names hold the one limit, counted in characters (a surrogate pair is
    // one): the longest is stored whole; one more is refused with the reason by every store
    // that writes such a text, and nothing is stored.
    const QString largo = QString(ModBaseDatos::kMaximoTexto - 1, u'a') + u"🐸"_s;
    const QString demasiado = largo + u'b';
    o.descripcion = largo;
    nueva = {0, u"AV3"_s, largo, 5, 5019};
    o.localidad = nueva.codigo;
    const auto larga = observaciones.Guardar(o, nueva);
    QVERIFY2(larga, qPrintable(observaciones.error()));
    QCOMPARE(bd.Lineas(u"SELECT o.descripcion, l.localidad FROM observacion o JOIN localidad l "
                       "ON l.cod_localidad = o.localidad WHERE o.id_observacion = ?"_s,
                       {*larga}),
             largo + u'|' + largo);
    QCOMPARE(bd.Lineas(estado), u"3|3"_s);

    ObservationStore enFormulario;
    LocalityStore localidades;
    ReasonStore motivos;
    ObserverStore observadores;
    Observacion conDescripcion = o, conMotivo = o;
    conDescripcion.descripcion = demasiado;
    conMotivo.motivo = demasiado;
    const Localidad otra{0, u"AV4"_s, demasiado, 5, 5019};
    Localidad cambiada = otra;
    cambiada.idLocalidad =
        bd.Lineas(u"SELECT id_localidad FROM localidad WHERE cod_localidad = 'AV3'"_s).toInt();
    const QString volcado = u"SELECT group_concat(length(descripcion)) FROM observacion"_s;
    const QString antes = bd.Lineas(volcado);
    const int motivosAntes = bd.Contar(u"motivo"_s), observadoresAntes = bd.Contar(u"observador"_s);
    // What each store said, in turn: the description, the reason, the changed description,
    // the new locality of an observation, a locality, a changed one, a reason and its
    // description, an observer.
    const auto dicho = [](bool guardado, const Store &s) {
        return guardado ? u"guardado"_s : s.error();
    };
    const QList<std::pair<QString, QString>> rechazos = {
        {dicho(bool(enFormulario.Guardar(conDescripcion, std::nullopt)), enFormulario),
         u"La descripción tiene 65536 caracteres"_s},
        {dicho(enFormulario.Actualizar(*larga, conMotivo), enFormulario),
         u"El motivo tiene 65536 caracteres"_s},
        {dicho(enFormulario.Actualizar(*larga, conDescripcion), enFormulario),
         u"La descripción tiene 65536"_s},
        {dicho(bool(enFormulario.Guardar(o, otra)), enFormulario),
         u"El nombre de la localidad tiene 65536"_s},
        {dicho(localidades.Insertar(otra), localidades),
         u"El nombre de la localidad tiene 65536"_s},
        {dicho(localidades.Actualizar(cambiada), localidades),
         u"El nombre de la localidad tiene 65536"_s},
        {dicho(bool(motivos.Insertar({{}, demasiado, {}})), motivos), u"El motivo tiene 65536"_s},
        {dicho(bool(motivos.Insertar({{}, u"Censo"_s, demasiado})), motivos),
         u"La descripción del motivo tiene 65536"_s},
        {dicho(observadores.Insertar({u"LARGO"_s, demasiado}, false), observadores),
         u"El nombre tiene 65536 caracteres y admite como máximo 65535: no se ha guardado nada."_s},
    };
    for (const auto &[visto, motivo] : rechazos)
        QVERIFY2(visto.startsWith(motivo), qPrintable(visto));
    QCOMPARE(bd.Lineas(estado), u"3|3"_s);
    QCOMPARE(bd.Lineas(volcado), antes);
    QCOMPARE(bd.Contar(u"motivo"_s), motivosAntes);
    QCOMPARE(bd.Contar(u"observador"_s), observadoresAntes);
}

QTEST_MAIN(tst_ObservationStore)
#include "tst_ObservationStore.moc"
