#pragma once

#include <QMessageBox>
#include <QString>

class QComboBox;
class QWidget;

// Test helpers to act as a user would.
namespace User {
void Activar(QWidget *control);                        // its window shown and active
void Escribir(QWidget *control, const QString &texto); // focus, select all, type
void SalirDe(QWidget *control);                        // give the focus to something else
void Poner(QWidget *control, const QString &texto);    // typed, then left
void Elegir(QComboBox *lista, const QString &texto);   // choose an item as with the mouse
// The messages shown so far forgotten, the next questions to be answered so, in turn.
void Responder(const QList<QMessageBox::StandardButton> &respuestas = {});
} // namespace User
