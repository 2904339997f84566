#pragma once

// What the locality form tests share: a few localities and the user's gestures.

#include "support/Controles.h"
#include "support/TestDatabase.h"
#include "support/User.h"

#include "gui/MessageService.h"

#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;

// Real provinces and municipalities (Ávila 5 / 5019, Madrid 28 / 28079), a quote, a locality
// without coordinates or zone, and one whose square no list holds; the first one's point is
// known to 30 m.
inline void Poblar(const TestDatabase &bd) {
    const QString sql = u"INSERT INTO localidad (cod_localidad, localidad, prov, muni, utmx, "
                        "utmy, utmhuso, utm1k, utm10k) VALUES (?,?,?,?,?,?,?,?,?)"_s;
    bd.Ejecutar(sql, {"AV1", "Charca del Sapo", 5, 5019, 358725, 4503329, "30", "UL5803", "UL50"});
    bd.Ejecutar(sql, {"BA2", "Arroyo d'Ávila", 5, 5019, QVariant(), QVariant(), QVariant(),
                      QVariant(), "UL50"});
    bd.Ejecutar(sql, {"MA'1", "Laguna", 28, 28079, 440291, 4474254, "30", "VK4074", "VK47"});
    bd.Ejecutar(sql, {"aM2", "Prado", 28, 28079, QVariant(), QVariant(), "", "", "ZZ99"});
    bd.Ejecutar(u"UPDATE localidad SET incertidumbre = 30 WHERE cod_localidad = 'AV1'"_s);
}

// A locality's stored fields by code; empty when it is not stored.
inline QString Fila(const TestDatabase &bd, const QString &codigo) {
    return bd
        .Valor(u"SELECT printf('%s|%s|%s|%s|%s|%s|%s|%s|%s|%s', cod_localidad, localidad, prov, "
               "muni, coalesce(utmx, 'null'), coalesce(utmy, 'null'), coalesce(utmhuso, 'null'), "
               "coalesce(utm1k, 'null'), coalesce(utm10k, 'null'), "
               "coalesce(incertidumbre, 'null')) FROM localidad "
               "WHERE cod_localidad = ? COLLATE BINARY"_s,
               {codigo})
        .toString();
}

// The last message as the user reads it: title, then text.
inline QString Aviso() {
    return MessageService::Ultimo().titulo + u'|' + MessageService::Ultimo().texto;
}

inline void Clic(const QWidget *w, const QString &boton) {
    QTest::mouseClick(Control(w, boton), Qt::LeftButton);
}

inline void Escribir(QWidget *w, const QString &campo, const QString &texto) {
    User::Escribir(Control<QWidget>(w, campo), texto);
}

inline void Elegir(QWidget *w, const QString &lista, const QString &texto) {
    User::Elegir(Control<QComboBox>(w, lista), texto);
}

inline QString Texto(const QWidget *w, QAnyStringView control) {
    return Textos(w, {control});
}
