// The warnings a verifier reads, each on records built for it and one step inside its
// threshold, and the status set, refused and put back by an edit or through the bin.
#include "support/TestDatabase.h"

#include "geo/Geodesy.h"
#include "localities/MunicipalityLocator.h"
#include "observations/BinStore.h"
#include "observations/ObservationStore.h"
#include "observations/VerificationStore.h"

#include <QTest>

using namespace Qt::StringLiterals;
using Estado = VerificationStore::Estado;

class tst_VerificationStore : public QObject {
    Q_OBJECT
private slots:
    void avisos();
    void estados();
};

namespace {
const QDate kHoy(2026, 6, 1);

// Each warning by its kind, in the order the store gives them.
QString Tipos(const QStringList &avisos) {
    QStringList r;
    for (const QString &a : avisos)
        r << (a.startsWith(u"Primera cita"_s)          ? u"cuadrado"_s
              : a.startsWith(u"Fuera de la época"_s)   ? u"epoca"_s
              : a.contains(u"ejemplares"_s)            ? u"numero"_s
              : a.contains(u"fuera de su municipio"_s) ? u"municipio"_s
              : a.startsWith(u"Fecha"_s)               ? u"fecha"_s
              : a.startsWith(u"Especie sensible"_s)    ? u"foto"_s
                                                       : a);
    return r.join(u',');
}

// The easting, along Madrid's row of the town centre going west, where the point lies
// about `metros` outside the municipality (from 5 m steps: within 5 m of it).
qint64 EsteFuera(double metros) {
    Geodesy geo;
    for (qint64 x = 440000; x > 420000; x -= 5) {
        const auto g = geo.AGeograficas({30, double(x), 4474254.0});
        const auto fuera = MunicipalityLocator::Fuera(28079, g->lat, g->lon);
        if (fuera && *fuera >= metros && *fuera < metros + 5) return x;
    }
    return 0;
}
} // namespace

void tst_VerificationStore::avisos() {
    TestDatabase bd;
    const qint64 dentro = EsteFuera(245), fuera = EsteFuera(255);
    QVERIFY(dentro > 0 && fuera > 0);
    QStringList sql = {
        u"INSERT INTO observador (cod_observador) VALUES ('JPG')"_s,
        u"INSERT INTO localidad (cod_localidad, prov, muni, utmhuso, utmx, utmy, utm10k) VALUES "
        "('LIN', 28, 28079, '30', %1, 4474254, 'SQ00'), ('LOUT', 28, 28079, '30', %2, 4474254, "
        "'SQ00')"_s.arg(dentro)
            .arg(fuera)};
    for (int i = 0; i <= 24; ++i)
        sql << u"INSERT INTO localidad (cod_localidad, prov, utm10k) VALUES ('L%1', 5, 'SQ%1')"_s
                   .arg(i, 2, 10, QChar(u'0'));
    // Species of their own for each case; a sensitive one.
    for (const char *e :
         {"C20", "C19", "C20R", "E30A", "E30B", "E29", "E30C", "N30A", "N30B", "N29", "SENS"})
        sql << u"INSERT INTO especie (cod_especie, n_especie, sensible) VALUES ('%1', 'Especie "
               "%1', %2)"_s.arg(QLatin1String(e))
                   .arg(qstrcmp(e, "SENS") == 0 ? 1 : 0);
    for (const QString &s : sql)
        QVERIFY2(bd.Ejecutar(s), qPrintable(s));

    QVERIFY(bd.Ejecutar(u"BEGIN"_s));
    // The other records of a species: `n` of them at L00, or each at a square of its own
    // (L01...), on the date and with the count given; the first one rejected where said.
    const auto otras = [&](const char *especie, int n, bool cadaUna, const QString &fecha,
                           const QVariant &numero, const QString &verificacion = {}) {
        for (int i = 0; i < n; ++i)
            QVERIFY(bd.Ejecutar(
                u"INSERT INTO observacion (observador1, especie, localidad, fecha, "
                "numejemp, verificacion) VALUES ('JPG', ?, ?, ?, ?, ?)"_s,
                {QLatin1String(especie), u"L%1"_s.arg(cadaUna ? i + 1 : 0, 2, 10, QChar(u'0')),
                 fecha, numero,
                 i == 0 && !verificacion.isEmpty() ? QVariant(verificacion) : QVariant()}));
    };
    const QString abril = u"2020-04-15"_s;
    otras("C20", 20, true, abril, {});
    otras("C19", 19, true, abril, {});
    otras("C20R", 20, true, abril, {}, u"rechazada"_s);
    otras("E30A", 30, false, abril, {});
    otras("E30B", 30, false, abril, {});
    otras("E29", 29, false, abril, {});
    otras("E30C", 30, false, u"2019-12-20"_s, {});
    otras("N30A", 30, false, abril, 5);
    otras("N30B", 30, false, abril, 5);
    otras("N29", 29, false, abril, 5);

    struct Caso {
        QString etiqueta, especie, localidad, fecha;
        QVariant numero;
        QString esperado;
    };
    const QList<Caso> casos = {
        {u"cuadrado nuevo, 20 más"_s, u"C20"_s, u"L00"_s, abril, {}, u"cuadrado"_s},
        {u"cuadrado nuevo, 19 más"_s, u"C19"_s, u"L00"_s, abril, {}, u""_s},
        {u"20 más, una rechazada"_s, u"C20R"_s, u"L00"_s, abril, {}, u""_s},
        {u"31 días de las otras"_s, u"E30A"_s, u"L00"_s, u"2021-05-16"_s, {}, u"epoca"_s},
        {u"30 días de las otras"_s, u"E30B"_s, u"L00"_s, u"2021-05-15"_s, {}, u""_s},
        {u"sólo 29 otras"_s, u"E29"_s, u"L00"_s, u"2021-08-01"_s, {}, u""_s},
        {u"21 días tras fin de año"_s, u"E30C"_s, u"L00"_s, u"2021-01-10"_s, {}, u""_s},
        {u"más que las otras 30"_s, u"N30A"_s, u"L00"_s, abril, 6, u"numero"_s},
        {u"igual que la mayor"_s, u"N30B"_s, u"L00"_s, abril, 5, u""_s},
        {u"más que 29 otras"_s, u"N29"_s, u"L00"_s, abril, 900, u""_s},
        {u"1001 ejemplares"_s, u"BUFSPI"_s, u"L00"_s, abril, 1001, u"numero"_s},
        {u"1000 ejemplares"_s, u"BUFSPI"_s, u"L00"_s, abril, 1000, u""_s},
        {u"mañana"_s, u"SALSAL"_s, u"L00"_s, u"2026-06-02"_s, {}, u"fecha"_s},
        {u"hoy"_s, u"SALSAL"_s, u"L00"_s, u"2026-06-01"_s, {}, u""_s},
        {u"1899"_s, u"SALSAL"_s, u"L00"_s, u"1899-12-31"_s, {}, u"fecha"_s},
        {u"1900"_s, u"SALSAL"_s, u"L00"_s, u"1900-01-01"_s, {}, u""_s},
        {u"255 m fuera"_s, u"TRIMAR"_s, u"LOUT"_s, abril, {}, u"municipio"_s},
        {u"245 m fuera"_s, u"TRIMAR"_s, u"LIN"_s, abril, {}, u""_s},
        {u"sensible sin foto"_s, u"SENS"_s, u"L00"_s, abril, {}, u"foto"_s},
        {u"sensible con foto"_s, u"SENS"_s, u"L00"_s, abril, {}, u""_s},
    };
    // Each tested record's identifier, with the case it is for; what the case expects.
    QHash<int, QString> etiquetas;
    QMap<QString, QString> vistos, esperados;
    for (const Caso &c : casos) {
        QVERIFY(bd.Ejecutar(u"INSERT INTO observacion (observador1, especie, localidad, fecha, "
                            "numejemp, descripcion) VALUES ('JPG', ?, ?, ?, ?, ?)"_s,
                            {c.especie, c.localidad, c.fecha, c.numero, c.etiqueta}));
        etiquetas.insert(bd.Valor(u"SELECT max(id_observacion) FROM observacion"_s).toInt(),
                         c.etiqueta);
        esperados.insert(c.etiqueta, c.esperado);
    }
    QVERIFY(bd.Ejecutar(u"INSERT INTO foto (observacion, sha256, orden) SELECT id_observacion, "
                        "'h', 1 FROM observacion WHERE descripcion = 'sensible con foto'"_s));
    QVERIFY(bd.Ejecutar(u"COMMIT"_s));

    VerificationStore almacen;
    const auto lista = almacen.Listar({.estado = std::nullopt}, kHoy); // every status
    QVERIFY2(lista, qPrintable(almacen.error()));
    for (const auto &g : *lista)
        if (etiquetas.contains(g.id)) vistos.insert(etiquetas[g.id], Tipos(g.avisos));
    QCOMPARE(vistos, esperados);

    // The filters: a species, a province, only those with warnings, the status.
    QStringList halladas;
    for (const VerificationStore::Filtro &filtro :
         {VerificationStore::Filtro{.especie = u"SENS"_s},
          VerificationStore::Filtro{.especie = u"SENS"_s, .soloAvisos = true},
          VerificationStore::Filtro{.provincia = u"Madrid"_s},
          VerificationStore::Filtro{.estado = Estado::Rechazada}})
        halladas << QString::number(almacen.Listar(filtro, kHoy)->size());
    QCOMPARE(halladas.join(u' '), u"2 1 2 1"_s);
    QVERIFY(almacen.Listar({.estado = Estado::Rechazada}, kHoy)->first().especie ==
            u"Especie C20R"_s);
}

void tst_VerificationStore::estados() {
    TestDatabase bd;
    QVERIFY(bd.Ejecutar(u"INSERT INTO observador (cod_observador) VALUES ('JPG'), ('ANA')"_s));
    ObservationStore observaciones;
    const Observacion o{
        .observador = {u"JPG"_s}, .fecha = QDate(2024, 5, 3), .especie = u"BUFSPI"_s};
    QList<int> ids;
    for (int i = 0; i < 3; ++i)
        ids << *observaciones.Guardar(o, std::nullopt);
    const QDateTime cuando(QDate(2026, 5, 2), QTime(10, 30));
    // Each record's status, who set it, when and why, in the order stored.
    const QString sql = u"SELECT verificacion, verificador, fecha_verificacion, "
                        "comentario_verificacion FROM observacion ORDER BY id_observacion"_s;
    const auto estados = [&] { return bd.Lineas(sql).split(u'\n'); };
    const QString ninguno = u"NULL|NULL|NULL|NULL"_s,
                  aceptada = u"aceptada|ANA|2026-05-02 10:30:00|"_s,
                  dudosa = u"dudosa|ANA|2026-05-02 10:30:00|¿Bufo o Epidalea?"_s;

    // Refused whole: a rejection without its reason, an unknown verifier, a row gone.
    VerificationStore v;
    QVERIFY(!v.Verificar(ids, Estado::Rechazada, u"ANA"_s, u"  "_s, cuando));
    QVERIFY(v.error().contains(u"por qué"_s));
    QVERIFY(!v.Verificar(ids, Estado::Aceptada, u"NADIE"_s, {}, cuando));
    QCOMPARE(v.error(), u"El observador NADIE no existe."_s);
    QVERIFY(!v.Verificar({ids[0], 999}, Estado::Aceptada, u"ANA"_s, {}, cuando));
    QCOMPARE(estados(), QStringList(3, ninguno));

    QVERIFY(v.Verificar({ids[0], ids[1]}, Estado::Aceptada, u"ANA"_s, {}, cuando));
    QVERIFY(v.Verificar({ids[2]}, Estado::Dudosa, u"ANA"_s, u"¿Bufo o Epidalea?"_s, cuando));
    QCOMPARE(estados(), (QStringList{aceptada, aceptada, dudosa}));

    // An edit of an accepted record puts it back to none; saving it unchanged does not, nor
    // does an edit of a doubtful one.
    QVERIFY(observaciones.Actualizar(ids[1], o));
    QCOMPARE(estados(), (QStringList{aceptada, aceptada, dudosa}));
    Observacion cambiada = o;
    cambiada.numejemp = 4;
    QVERIFY(observaciones.Actualizar(ids[1], cambiada));
    QCOMPARE(estados(), (QStringList{aceptada, ninguno, dudosa}));
    QVERIFY(observaciones.Actualizar(ids[2], cambiada));
    QCOMPARE(estados(), (QStringList{aceptada, ninguno, dudosa}));

    // Through the bin and back, the status stays.
    QVERIFY(observaciones.Suprimir(ids[0]) && BinStore().Restaurar({ids[0]}));
    QCOMPARE(estados(), (QStringList{aceptada, ninguno, dudosa}));
    // None clears all four.
    QVERIFY(v.Verificar({ids[0]}, Estado::Ninguno, {}, {}, cuando));
    QCOMPARE(estados(), (QStringList{ninguno, ninguno, dudosa}));
}

QTEST_MAIN(tst_VerificationStore)
#include "tst_VerificationStore.moc"
