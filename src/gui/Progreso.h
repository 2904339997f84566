#pragma once

#include "data/Avance.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <QStringList>

class QProgressDialog;
class QWidget;

// The progress of a long task in a window of its own with "Cancelar", shown once the task
// has taken about two seconds (a quick task shows nothing). While it runs the rest of the
// program takes no input; Escape cancels as the button does. The task receives avance() and
// stops at its next report once cancelled.
class Progreso {
public:
    Progreso(QWidget *padre, const QString &texto);
    ~Progreso();
    Progreso(const Progreso &) = delete;
    Progreso &operator=(const Progreso &) = delete;

    Avance avance();
    // For a task of several steps: what it does now.
    void Texto(const QString &texto);
    bool Cancelado() const { return cancelado_; }

    // Test hooks. The next progress window is cancelled, as by its button, at its n-th report
    // (1 for the first); 0 leaves it alone. Vistos: the texts of the progress windows made
    // since Limpiar, with how many reports each received.
    static void CancelarEn(int informe);
    struct Visto {
        QString texto;
        int informes = 0;
        bool cancelado = false;
    };
    static QList<Visto> Vistos();
    static void Limpiar();

private:
    bool Informar(qint64 hecho, qint64 total);
    QPointer<QProgressDialog> dialogo_;
    QElapsedTimer reloj_;
    qint64 ultimo_ = -1;
    bool cancelado_ = false;
    int indice_ = -1;
    int cancelarEn_ = 0;
};
