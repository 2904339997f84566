#pragma once

// What the observation form tests share: observers, localities and observations stored
// through the stores on the real reference data.

#include "support/Controles.h"
#include "support/TestDatabase.h"

#include "gui/MessageService.h"
#include "localities/LocalityStore.h"
#include "observations/ObservationStore.h"
#include "observers/ObserverStore.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QTableView>
#include <QTest>

using namespace Qt::StringLiterals;

// The text of the last message shown, or nothing.
inline QString Aviso() {
    return MessageService::Mostrados().isEmpty() ? QString() : MessageService::Ultimo().texto;
}

// The first row of a query, its columns joined by '|'.
inline QString Fila(const TestDatabase &bd, const QString &sql, const QVariantList &valores = {}) {
    return bd.Lineas(sql, valores).section(u'\n', 0, 0);
}

// A row clicked, with the modifier a user holds to add it to the chosen ones.
inline void Pulsar(QTableView *rejilla, int fila, Qt::KeyboardModifiers teclas = {}) {
    QTest::mouseClick(rejilla->viewport(), Qt::LeftButton, teclas,
                      rejilla->visualRect(rejilla->model()->index(fila, 1)).center());
}

// A grid's column read as identifiers, row by row.
inline QList<int> Ids(const QTableView *rejilla, int columna, int papel = Qt::DisplayRole) {
    QList<int> r;
    for (int i = 0; i < rejilla->model()->rowCount(); ++i)
        r << rejilla->model()->index(i, columna).data(papel).toInt();
    return r;
}

struct Observaciones {
    // In date order: 2005 (Álvaro, Ana second), 2007 (Ana), 2008 (Juliana, nothing chosen),
    // 2010 (D'Ors, species and locality gone).
    int alvaro = 0, ana = 0, juliana = 0, dors = 0;

    explicit Observaciones(const TestDatabase &bd) {
        ObserverStore observadores;
        for (const Observador &o :
             {Observador{u"ANA"_s, u"Ana"_s, u"Pérez"_s, {}, u"a@x.es"_s, {}},
              Observador{u"JUL"_s, u"Juliana"_s, u"Ruiz"_s, {}, u"j@x.es"_s, {}},
              Observador{u"ALV"_s, u"Álvaro"_s, u"Gil"_s, {}, u"g@x.es"_s, {}},
              Observador{u"DOR"_s, u"Ánxela"_s, u"D'Ors"_s, {}, u"d@x.es"_s, {}}})
            QVERIFY(observadores.Insertar(o, false));
        LocalityStore localidades;
        // Two localities share a name; one name holds a quote.
        for (const Localidad &l :
             {Localidad{0, u"L1"_s, u"Charca del Sol"_s, 28, 28079, 440291, 4474254, u"30"_s,
                        u"VK4074"_s, u"VK47"_s},
              Localidad{0, u"L2"_s, u"Fuente d'Ávila"_s, 5, 5019, {}, {}, u"30"_s, {}, u"UK59"_s},
              Localidad{0, u"L3"_s, u"Charca del Sol"_s, 5, 5019, {}, {}, u"30"_s, {}, u"UK69"_s}})
            QVERIFY(localidades.Insertar(l));
        ObservationStore store;
        const Observacion o{.observador = {u"ANA"_s},
                            .fecha = QDate(2007, 3, 5),
                            .horaini = u"10:30"_s,
                            .horafin = u"11:45"_s,
                            .periodo = 2,
                            .meteo = 1,
                            .viento = 2,
                            .especie = u"BUFSPI"_s,
                            .numejemp = 12,
                            .numaprox = true,
                            .estadio = 2,
                            .conducta = 1,
                            .descripcion = u"Bajo la piedra"_s,
                            .motivo = u"Muestreo"_s,
                            .habitat = 3,
                            .localidad = u"L1"_s};
        ana = store.Guardar(o, std::nullopt).value_or(0);
        const Observacion vacia{.observador = {u"JUL"_s, u"ANA"_s},
                                .fecha = QDate(2008, 6, 1),
                                .especie = u"VIPLAT"_s,
                                .localidad = u"L2"_s};
        juliana = store.Guardar(vacia, std::nullopt).value_or(0);
        Observacion tercera = o;
        tercera.observador[0] = u"ALV"_s;
        tercera.observador[1] = u"ANA"_s;
        tercera.fecha = QDate(2005, 2, 1);
        tercera.especie = u"PODHIS"_s;
        tercera.localidad = u"L3"_s;
        tercera.periodo = 1;
        tercera.estadio = 13;
        tercera.conducta = 0;
        alvaro = store.Guardar(tercera, std::nullopt).value_or(0);
        const Observacion perdida{.observador = {u"DOR"_s},
                                  .fecha = QDate(2010, 1, 1),
                                  .especie = u"NOHAY"_s,
                                  .localidad = u"LX"_s};
        dors = store.Guardar(perdida, std::nullopt).value_or(0);
        QVERIFY(ana && juliana && alvaro && dors);
        QCOMPARE(bd.Contar(u"observacion"_s), 4);
    }
};
