#pragma once

#include <QList>
#include <QMessageBox>
#include <QString>

class QWidget;

// Every message box of the program goes through here, so that tests can read what was
// shown and answer it. In the program the boxes are real QMessageBoxes.
namespace MessageService {

struct Mostrado {
    QString texto;
    QString titulo;
    QMessageBox::Icon icono;
    QMessageBox::StandardButtons botones;
};

QMessageBox::StandardButton Mostrar(QWidget *padre, const QString &texto,
                                    const QString &titulo = QStringLiteral("Tritodex"),
                                    QMessageBox::Icon icono = QMessageBox::NoIcon,
                                    QMessageBox::StandardButtons botones = QMessageBox::Ok);

// Test mode: no window; each box takes the next queued answer, or, with none queued, Ok
// when offered and No otherwise.
void setModoPrueba(bool activo);
void EncolarRespuesta(QMessageBox::StandardButton respuesta);
QList<Mostrado> Mostrados();
Mostrado Ultimo();
void Limpiar();

} // namespace MessageService
