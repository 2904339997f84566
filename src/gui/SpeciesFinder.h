#pragma once

#include "data/SpeciesNames.h"

#include <QObject>
#include <QPointer>

class QComboBox;
class QCompleter;
class QLabel;
class QStringListModel;
class QWidget;

// Finding a species list's item by any name of its species. Typing part of a name offers,
// in a popup under the list, the items whose species bears it; choosing one selects it as
// if its code had been typed. A species reached through an older name is explained in the
// note label ("Rana perezi es sinónimo de Pelophylax perezi") until another is chosen.
// The list completes codes only: once what is typed begins no item, the completion is taken
// back, so that a name is never completed into a code the user did not type.
class SpeciesFinder : public QObject {
public:
    SpeciesFinder(QComboBox *lista, QLabel *nota);

    // Reads the names; false (error() of the returned store) when they cannot be read.
    bool Cargar(QString *error);
    // For a list being left: selects the item of the species the text names exactly, by a
    // name or by its whole code (case and accents aside). True when it did.
    bool ElegirExacto();
    // Tells the user that the text is no species of the list.
    static void Rechazar(QWidget *padre, const QString &texto);
    // Explains a stored code that is an older one, or clears the note.
    void ExplicarCodigo(const QString &codigo);

    QCompleter *Emergente() const { return emergente_; }

private:
    void AlEscribir();
    void Elegir(const QString &item);
    int IndiceDe(const QString &codigoAceptado, bool *esSinonimo = nullptr) const;
    void Anotar(int indice, const QString &texto);

    QComboBox *lista_;
    QPointer<QLabel> nota_;
    QCompleter *emergente_;
    QStringListModel *modelo_;
    SpeciesNames nombres_;
    QHash<QString, SpeciesNames::Coincidencia> ofrecidos_; // item -> why it was offered
    int indiceNota_ = -1;
};
