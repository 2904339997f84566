#pragma once

// What the query and change form tests share: observers, localities and observations stored
// through the stores, on the real reference data.

#include "support/TestDatabase.h"

#include "localities/LocalityStore.h"
#include "observations/ObservationStore.h"
#include "observers/ObserverStore.h"

#include <QTest>

using namespace Qt::StringLiterals;

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
        QVERIFY(localidades.Insertar({0, u"L1"_s, u"Charca del Sol"_s, 28, 28079, 440291, 4474254,
                                      u"30"_s, u"VK4074"_s, u"VK47"_s}));
        QVERIFY(localidades.Insertar(
            {0, u"L2"_s, u"Fuente d'Ávila"_s, 5, 5019, {}, {}, u"30"_s, {}, u"UK59"_s}));
        QVERIFY(localidades.Insertar(
            {0, u"L3"_s, u"Charca del Sol"_s, 5, 5019, {}, {}, u"30"_s, {}, u"UK69"_s}));
        ObservationStore store;
        Observacion o;
        o.observador[0] = u"ANA"_s;
        o.fecha = QDate(2007, 3, 5);
        o.horaini = u"10:30"_s;
        o.horafin = u"11:45"_s;
        o.periodo = 2;
        o.meteo = 1;
        o.viento = 2;
        o.especie = u"BUFSPI"_s;
        o.numejemp = 12;
        o.numaprox = true;
        o.estadio = 2;
        o.conducta = 1;
        o.descripcion = u"Bajo la piedra"_s;
        o.motivo = u"Muestreo"_s;
        o.habitat = 3;
        o.localidad = u"L1"_s;
        ana = store.Guardar(o, std::nullopt).value_or(0);
        Observacion vacia;
        vacia.observador[0] = u"JUL"_s;
        vacia.observador[1] = u"ANA"_s;
        vacia.fecha = QDate(2008, 6, 1);
        vacia.especie = u"VIPLAT"_s;
        vacia.localidad = u"L2"_s;
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
        Observacion perdida = vacia;
        perdida.observador[0] = u"DOR"_s;
        perdida.observador[1].clear();
        perdida.fecha = QDate(2010, 1, 1);
        perdida.especie = u"NOHAY"_s;
        perdida.localidad = u"LX"_s;
        dors = store.Guardar(perdida, std::nullopt).value_or(0);
        QVERIFY(ana && juliana && alvaro && dors);
        QCOMPARE(bd.Contar(u"observacion"_s), 4);
    }
};
