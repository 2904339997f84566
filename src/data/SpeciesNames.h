#pragma once

#include "Store.h"

#include <QHash>
#include <QList>

// Finding a species by any of its names: scientific, older scientific, Spanish and regional
// common names, and the codes kept as synonyms. Letter case and accents never matter.
class SpeciesNames : public Store {
public:
    using Store::Store;

    struct Coincidencia {
        QString codigo;        // the accepted species
        QString nombre;        // the name that matched best, as written in the table
        bool sinonimo = false; // only an older name matched
    };

    // Reads every name; false (error() set) when the table cannot be read.
    bool Cargar();

    // Species with a name containing the text; those with a name beginning with it first,
    // then in code order. Texts shorter than two letters find nothing.
    QList<Coincidencia> Buscar(const QString &texto) const;
    // The one species the text names exactly; nothing when none or several.
    std::optional<Coincidencia> Exacto(const QString &texto) const;
    // The species named exactly, or else the one whose longest name stands in the text as
    // whole words ("Bufo calamita, charca"); nothing when none, or two species tie.
    std::optional<Coincidencia> EnTexto(const QString &texto) const;

    // The accepted code of a code kept as a synonym; the code itself otherwise.
    QString Aceptado(const QString &codigo) const;
    QString NombreCientifico(const QString &codigo) const;

    // Lower case without accents or surrounding blanks; inner runs of blanks made one.
    static QString Normalizar(const QString &texto);

private:
    struct Nombre {
        QString codigo;
        QString nombre;
        QString clave;
        bool sinonimo;
    };
    QList<Nombre> nombres_;
    QHash<QString, QString> aceptado_; // synonym code (upper case) -> accepted code
    QHash<QString, QString> cientifico_;
};
