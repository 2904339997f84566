#pragma once

// What the observer form tests share: a set of observers and the user's gestures.

#include "support/Controles.h"
#include "support/TestDatabase.h"
#include "support/User.h"

#include "data/ModConex.h"
#include "gui/MessageService.h"
#include "gui/Screen.h"

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;

// Nulls, a quote, accents, a wildcard in a code, and provinces that are blank, missing, in
// other case or unknown to the province list.
inline void Poblar(const TestDatabase &bd) {
    const QString sql = u"INSERT INTO observador (cod_observador, nombre, apellido, entidad, "
                        "email, provincia) VALUES (?,?,?,?,?,?)"_s;
    bd.Ejecutar(sql, {"XA1", "Luis", "Martínez", "AHE", "luis@x.es", "  "});
    bd.Ejecutar(sql, {"JPG1980", "Juan", "Pérez García", "SHE", "jpg@x.es", "Madrid"});
    bd.Ejecutar(sql, {"ONE61", "Seán", "O'Neill", "AHE", "sean@x.ie", "ávila"});
    bd.Ejecutar(sql, {"ALV75", "Ángela", "Álvarez", "SHE", "angela@x.es", "Lisboa"});
    bd.Ejecutar(sql, {"X_1", "Ana", "Ruiz", "SHE", "ana@x.es", "Cádiz"});
    bd.Ejecutar(sql, {"ROD90", "Rodrigo", QVariant(), QVariant(), "rod@x.es", QVariant()});
}

// An observer's stored fields, then the default observer's code; empty when it is not stored.
inline QString Fila(const TestDatabase &bd, const QString &codigo) {
    return bd
        .Valor(u"SELECT printf('%s|%s|%s|%s|%s|%s', nombre, apellido, entidad, email, provincia, "
               "(SELECT cd_obs FROM DefaultObs)) FROM observador WHERE cod_observador = ?"_s,
               {codigo})
        .toString();
}

// Reopens the test database for reading only, or for writing again.
inline void SoloLectura(bool soloLectura) {
    ModConex::setSoloLectura(soloLectura);
    QVERIFY(ModConex::Conectar());
}

// The last message as the user reads it: title, then text.
inline QString Aviso() {
    return MessageService::Ultimo().titulo + u'|' + MessageService::Ultimo().texto;
}

inline void Clic(QWidget *w, const QString &boton) {
    QTest::mouseClick(Control(w, boton), Qt::LeftButton);
}

// Types code, first name, surname, organisation and mail, as many as given, in the fields
// the form has (the change form has no code field).
inline void Rellenar(QWidget *d, const QStringList &valores) {
    const char *campos[] = {"Txcod", "Txnomobs", "Txcognom", "Txentidad", "Txmail"};
    for (int i = 0; i < valores.size(); ++i)
        if (auto *campo = d->findChild<QLineEdit *>(campos[i])) User::Escribir(campo, valores[i]);
}

// Pastes the text at the end of the field with Ctrl+V.
inline void Pegar(QLineEdit *campo, const QString &texto) {
    QGuiApplication::clipboard()->setText(texto);
    QTest::keyClick(campo, Qt::Key_End);
    QTest::keyClick(campo, Qt::Key_V, Qt::ControlModifier);
}

// The message of a paste that does not fit a field of that limit.
inline QString NoCabe(int maximo) {
    return u"El texto pegado no cabe en el campo: admite como máximo %1 caracteres."_s.arg(maximo);
}

// Pastes `pegado` at the end of the field and types `tecleado`. Returns the text left, the
// beeps heard and the message shown.
inline QString Editar(QLineEdit *campo, const QString &pegado, const QString &tecleado) {
    MessageService::Limpiar();
    const int pitidos = Screen::Pitidos();
    if (!pegado.isEmpty()) Pegar(campo, pegado);
    QTest::keyClicks(campo, tecleado);
    QCoreApplication::processEvents(); // the message comes once the edit is undone
    return campo->text() + u'|' + QString::number(Screen::Pitidos() - pitidos) + u'|' +
           (MessageService::Mostrados().isEmpty() ? QString() : MessageService::Ultimo().texto);
}

// Ticks or clears the default box with a click on the box, where the user aims.
inline void Predeterminado(QWidget *d, bool marcado) {
    auto *casilla = Control<QCheckBox>(d, "Ckdef");
    if (casilla->isChecked() != marcado)
        QTest::mouseClick(casilla, Qt::LeftButton, {}, QPoint(6, casilla->height() / 2));
}
