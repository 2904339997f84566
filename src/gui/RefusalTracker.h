#pragma once

#include <QPointer>
#include <QString>

class QComboBox;
class QWidget;

// The checks a field runs when the user leaves it may refuse its value. When the user left
// it by clicking a save button, that click must not go on to save: the user reads the
// refusal and the form as it now is, and saves again when ready. The tracker remembers
// where the focus was going when a check refused.
class RefusalTracker {
public:
    // At the start of every check: an earlier refusal no longer holds.
    void Limpiar() { destino_.clear(); }
    // A check refused: the widget taking the focus (a save button, say) was its cause.
    void Anotar();
    // Whether the click on that button was refused by a check; forgets the refusal.
    bool Consumir(QWidget *boton);

    // A list's text that is no item of it is emptied, telling the user; a blank or empty
    // text is emptied without a word. True when it refused.
    bool ComprobarLista(QWidget *padre, QComboBox *lista, const QString &que);

private:
    QPointer<QWidget> destino_;
};
