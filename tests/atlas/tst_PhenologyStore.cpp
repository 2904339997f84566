#include "support/TestDatabase.h"

#include "atlas/PhenologyStore.h"

#include <QTest>

using namespace Qt::StringLiterals;

// The counts behind the phenology chart, on observations written straight into the table.
class tst_PhenologyStore : public QObject {
    Q_OBJECT
private slots:
    void recuentos();
    void fechasYValoresRaros();

private:
    // Every non-zero count: "stage period:observations/individuals".
    static QStringList Volcado(const Fenologia &f) {
        QStringList r;
        for (const auto &e : f.estadios)
            for (int p = 0; p < Fenologia::kPeriodos; ++p)
                if (e.observaciones[p] || e.ejemplares[p])
                    r << e.nombre +
                             u" %1:%2/%3"_s.arg(p + 1).arg(e.observaciones[p]).arg(e.ejemplares[p]);
        return r;
    }
};

void tst_PhenologyStore::recuentos() {
    TestDatabase bd;
    // Each case: date, stage, individuals, period (0: no date, not counted). Boundaries on
    // the 10th, 11th, 20th and 21st; the last day of a 31-day month (January) and of a
    // 30-day one (April); 28 and 29 February in common and leap years (2000 is one); a
    // stage never chosen (0) and one that is gone (99); individuals only where given and
    // positive; days that do not exist, empty and unreadable dates. Fixture stages:
    // 1 Puesta, 2 Larva, 3 Adulto, 4 Huevo, 5 Juvenil, 6 Adulto (reptiles).
    const QStringList casos = {
        u"2005-01-01 1 3 1"_s,   u"2005-01-10 1 2 1"_s,  u"2005-01-11 1 nulo 2"_s,
        u"2005-01-20 2 5 2"_s,   u"2005-01-21 2 1 3"_s,  u"2005-01-31 3 2 3"_s,
        u"2005-04-20 3 7 11"_s,  u"2005-04-21 6 1 12"_s, u"2005-04-30 6 4 12"_s,
        u"2005-05-01 6 1 13"_s,  u"2005-02-20 5 1 5"_s,  u"2005-02-21 5 1 6"_s,
        u"2005-02-28 5 2 6"_s,   u"2005-03-01 5 1 7"_s,  u"2004-02-28 0 6 6"_s,
        u"2004-02-29 0 1 6"_s,   u"2000-02-29 99 2 6"_s, u"2004-03-01 5 0 7"_s,
        u"2005-12-21 5 -3 36"_s, u"2005-12-31 5 1 36"_s, u"2005-02-29 1 1 0"_s,
        u"1900-02-29 1 1 0"_s,   u"2005-04-31 1 1 0"_s,  u"2005-02-30 1 1 0"_s,
        u"vacía 1 1 0"_s,        u"nulo 1 1 0"_s,        u"hola 1 1 0"_s,
        u"2005-13-01 1 1 0"_s};
    const auto valor = [](const QString &t, const QVariant &v) {
        return t == u"nulo"_s ? QVariant() : t == u"vacía"_s ? QVariant(QString()) : v;
    };
    qint64 contados = 0;
    for (const QString &caso : casos) {
        const QStringList c = caso.split(u' ');
        const QVariant fecha = valor(c[0], c[0]);
        QVERIFY(bd.Ejecutar(u"INSERT INTO observacion (fecha, estadio, numejemp, especie, "
                            "localidad, observador1) VALUES (?, ?, ?, 'BUFSPI', 'L1', 'ANA')"_s,
                            {fecha, c[1].toInt(), valor(c[2], c[2].toInt())}));
        const QDate d = QDate::fromString(fecha.toString(), Qt::ISODate);
        QCOMPARE(PhenologyStore::Periodo(d), c[3].toInt());
        contados += c[3].toInt() > 0;
    }
    PhenologyStore store;
    const auto f = store.Contar({});
    QVERIFY2(f, qPrintable(store.error()));
    // The stages in the table's order, one Adulto for both classes, Huevo (no observation)
    // left out, the unchosen stage and the one that is gone last. Individuals only where
    // given and positive.
    QCOMPARE(Volcado(*f),
             (QStringList{u"Puesta 1:2/5"_s, u"Puesta 2:1/0"_s, u"Larva 2:1/5"_s, u"Larva 3:1/1"_s,
                          u"Adulto 3:1/2"_s, u"Adulto 11:1/7"_s, u"Adulto 12:2/5"_s,
                          u"Adulto 13:1/1"_s, u"Juvenil 5:1/1"_s, u"Juvenil 6:2/3"_s,
                          u"Juvenil 7:2/1"_s, u"Juvenil 36:2/1"_s, u"sin estadio 6:3/9"_s}));
    // Years 2000, 2004 and 2005; period 6's observations and individuals.
    QCOMPARE((QList<qint64>{f->registros, f->anos, f->Total(6, false), f->Total(6, true)}),
             (QList<qint64>{contados, 3, 5, 12}));

    // Period names, as the tooltip and the list show them, at a month's end of 31 and of 30
    // days (the first ten days and February's end: tst_frfenologia's tooltip and list).
    for (const auto &[periodo, nombre] : {std::pair{3, u"21-31 de enero"_s},
                                          {12, u"21-30 de abril"_s},
                                          {35, u"11-20 de diciembre"_s}})
        QCOMPARE(PhenologyStore::NombrePeriodo(periodo), nombre);

    // The observations of a period: the same dates as the counts, in date order.
    const auto lista = store.Observaciones({}, 6);
    QVERIFY(lista);
    QStringList fechas;
    for (const auto &o : *lista)
        fechas << o.fecha.toString(Qt::ISODate) + u' ' + o.estadio;
    QCOMPARE(fechas, (QStringList{u"2000-02-29 sin estadio"_s, u"2004-02-28 sin estadio"_s,
                                  u"2004-02-29 sin estadio"_s, u"2005-02-21 Juvenil"_s,
                                  u"2005-02-28 Juvenil"_s}));

    // The filters, on observations of their own.
    QVERIFY(bd.Ejecutar(u"DELETE FROM observacion"_s));
    QVERIFY(bd.Ejecutar(u"INSERT INTO observador (cod_observador, nombre, apellido) VALUES "
                        "('ANA', 'Ana', 'Pérez'), ('JUL', 'Juliana', 'Ruiz'), "
                        "('DOR', 'Ánxela', 'D''Ors_50%')"_s));
    QVERIFY(bd.Ejecutar(u"INSERT INTO localidad (cod_localidad, localidad, prov) VALUES "
                        "('L1', 'Charca', 28), ('L2', 'Fuente', 5), ('L3', 'Sin provincia', "
                        "NULL)"_s));
    QVERIFY(bd.Ejecutar(u"INSERT INTO observacion (fecha, estadio, numejemp, especie, localidad, "
                        "observador1, observador2) VALUES ('1999-12-31', 3, 1, 'BUFSPI', 'L1', "
                        "'ANA', NULL), ('2000-01-01', 3, 2, 'BUFSPI', 'L2', 'JUL', 'ANA'), "
                        "('2005-06-15', 3, 4, 'VIPLAT', 'L1', 'DOR', NULL), ('2010-12-31', 6, 8, "
                        "'VIPLAT', 'L3', 'GONE', NULL), ('2011-01-01', 6, 16, 'bufspi', 'LX', "
                        "'JUL', NULL)"_s));

    // Filter, then records, individuals and years.
    const QList<std::tuple<FiltroFenologia, qint64, qint64, qint64>> filtros = {
        {{.especie = u"BUFSPI"_s}, 3, 19, 3}, // codes compare ignoring case
        {{.anoDesde = 2000}, 4, 30, 4},
        {{.anoHasta = 2010}, 4, 15, 4},
        {{.anoDesde = 2000, .anoHasta = 2000}, 1, 2, 1},
        {{.anoDesde = 2001, .anoHasta = 2009}, 1, 4, 1},
        {{.especie = u"VIPLAT"_s, .anoDesde = 2006}, 1, 8, 1},
        {{.provincia = u"ávila"_s}, 1, 2, 1},
        {{.provincia = u"Cádiz"_s}, 0, 0, 0},
        {{.observador = u"Pérez"_s}, 2, 3, 2}, // the second observer counts too
        {{.observador = u"50%"_s}, 1, 4, 1},   // matched literally
        {{.observador = u"5%"_s}, 0, 0, 0},
        {{.especie = u"BUFSPI"_s, .provincia = u"Madrid"_s, .observador = u"Ana"_s}, 1, 1, 1},
    };
    for (const auto &[filtro, registros, individuos, anos] : filtros) {
        const auto f = store.Contar(filtro);
        QVERIFY2(f, qPrintable(store.error()));
        qint64 ejemplares = 0;
        for (int p = 1; p <= Fenologia::kPeriodos; ++p)
            ejemplares += f->Total(p, true);
        QCOMPARE((QList<qint64>{f->registros, ejemplares, f->anos}),
                 (QList<qint64>{registros, individuos, anos}));
    }

    // Observers by name, one gone kept by its code; locality and species names.
    const auto bufos = store.Observaciones({.especie = u"BUFSPI"_s}, 1);
    QVERIFY(bufos && bufos->size() == 2);
    // The second's locality is gone.
    QCOMPARE(bufos->at(0).observadores + u'|' + bufos->at(0).localidad + u'|' +
                 bufos->at(0).especie + u'|' + bufos->at(1).localidad,
             u"Juliana Ruiz, Ana Pérez|Fuente|Bufo spinosus|"_s);
    QCOMPARE(store.Observaciones({}, 36)->at(1).observadores, u"GONE"_s);

    // A failing statement is reported, not taken for an empty year.
    QVERIFY(bd.Ejecutar(u"DROP TABLE testadio"_s) && !store.Contar({}) && !store.error().isEmpty());
}

// Stored text that is no clean date, and values of other types that a file written by another
// program may hold: the counts take each row exactly as the database's own comparisons do.
void tst_PhenologyStore::fechasYValoresRaros() {
    TestDatabase bd;
    const auto insertar = [&](const QString &filas) {
        return bd.Ejecutar(u"INSERT INTO observacion (fecha, estadio, numejemp, especie, "
                           "localidad, observador1) VALUES "_s +
                           filas);
    };
    // A day of one digit or with a letter is compared as text ('1' falls in 01-10, '1a' in
    // 11-20, '2x' in none); a time after the day is ignored; a month of one digit is no
    // month; a year in spaces or with a sign is read as a number; 29 February only in a
    // leap year.
    QVERIFY(
        insertar(u"('2010-05-1', 1, 2, 'B', 'L', 'A'), ('2010-05-05 10:20', 1, 3, 'B', 'L', 'A'),"
                 " ('2010-05-15T08:00', 2, 4, 'B', 'L', 'A'), ('2010-05-1a', 2, 5, 'B', 'L', 'A'),"
                 " ('2010-05-2x', 2, 6, 'B', 'L', 'A'), ('2010-5-05', 2, 7, 'B', 'L', 'A'),"
                 " (' 201-05-05', 3, 8, 'B', 'L', 'A'), ('+201-05-25', 3, 9, 'B', 'L', 'A'),"
                 " ('2012-02-29', 3, 10, 'B', 'L', 'A'), ('2100-02-29', 3, 11, 'B', 'L', 'A'),"
                 " ('0000-01-01', NULL, 12, 'B', 'L', 'A'), ('2010', 1, 13, 'B', 'L', 'A'),"
                 " ('2010-05', 1, 14, 'B', 'L', 'A'), ('2010-12-31', 99, NULL, 'B', 'L', 'A')"_s));
    PhenologyStore store;
    const QStringList antes = {u"Puesta 13:2/5"_s,     u"Larva 14:2/9"_s,  u"Adulto 6:1/10"_s,
                               u"Adulto 13:1/8"_s,     u"Adulto 15:1/9"_s, u"sin estadio 1:1/12"_s,
                               u"sin estadio 36:1/0"_s};
    auto f = store.Contar({});
    QVERIFY2(f, qPrintable(store.error()));
    QCOMPARE(Volcado(*f), antes);
    QCOMPARE((QList<qint64>{f->registros, f->anos}), (QList<qint64>{9, 4}));

    // A letter outside ASCII for the hyphen: the month and the day are found by characters.
    QVERIFY(insertar(u"('2010é05-05', 1, 1, 'B', 'L', 'A')"_s));
    f = store.Contar({});
    QVERIFY2(f, qPrintable(store.error()));
    QStringList despues = antes;
    despues[0] = u"Puesta 13:3/6"_s;
    QCOMPARE(Volcado(*f), despues);

    // Of two stages named alike but for case, the one seen first by date names the bar.
    QVERIFY(bd.Ejecutar(u"INSERT INTO testadio (id_estadio, estad_cast, clase) VALUES "
                        "(7, 'PUESTA', 'Anfibios')"_s));
    QVERIFY(insertar(u"('1999-03-01', 7, 1, 'B', 'L', 'A')"_s));
    f = store.Contar({});
    QVERIFY2(f, qPrintable(store.error()));
    despues[0] = u"PUESTA 13:3/6"_s;
    despues.prepend(u"PUESTA 7:1/1"_s);
    QCOMPARE(Volcado(*f), despues);

    if (bd.enServidor()) return;
    // A file's columns may hold any type: a date stored as a number (no month), individuals
    // as text (none) or as a fraction (the total rounded), a stage as text (none).
    QVERIFY(insertar(u"(20100505, 1, 1, 'B', 'L', 'A'), ('2010-05-06', 1, 'tres', 'B', 'L', 'A'),"
                     " ('2010-05-07', 1, 2.5, 'B', 'L', 'A'), ('2010-05-08', 'x', 1, 'B', 'L',"
                     " 'A')"_s));
    f = store.Contar({});
    QVERIFY2(f, qPrintable(store.error()));
    despues[1] = u"PUESTA 13:5/9"_s;
    despues.insert(7, u"sin estadio 13:1/1"_s);
    QCOMPARE(Volcado(*f), despues);

    // Individuals past what a count can hold are an error, not a wrong total.
    QVERIFY(bd.Ejecutar(u"DELETE FROM observacion"_s));
    QVERIFY(insertar(u"('2010-05-05', 1, 9223372036854775807, 'B', 'L', 'A'),"
                     " ('2010-05-06', 1, 9223372036854775807, 'B', 'L', 'A')"_s));
    QVERIFY(!store.Contar({}) && !store.error().isEmpty());
}

QTEST_GUILESS_MAIN(tst_PhenologyStore)
#include "tst_PhenologyStore.moc"
