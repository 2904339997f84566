#pragma once

#include "Store.h"

// The reference tables: lists shown by the forms and the identifiers behind their texts.
// Lists come in identifier order; a null text is an empty item.
class ReferenceData : public Store {
public:
    using Store::Store;

    QStringList Vientos(); // "viento (velocidad)"
    QStringList Meteos();
    QStringList Periodos();
    // "code - scientific name" of the species offered for new records (no synonym codes).
    QStringList Especies();
    // The same item for any stored code, a synonym's too.
    std::optional<QString> ItemEspecie(const QString &codigo);
    QStringList Estadios(const QString &clase = QString()); // all, or of one class
    QStringList Conductas(const QString &clase = QString());
    QStringList Motivos();
    QStringList Habitats();

    std::optional<int> IdPeriodo(const QString &texto);
    std::optional<int> IdMeteo(const QString &texto);
    std::optional<int> IdViento(const QString &viento);
    std::optional<int> IdHabitat(const QString &texto);
    // Stages and behaviours of the same name exist in both classes; the class decides.
    std::optional<int> IdEstadio(const QString &texto, const QString &clase);
    std::optional<int> IdConducta(const QString &texto, const QString &clase);

    // The text a lookup list shows for an identifier; nothing for 0 or a row that is gone.
    enum class Lista { Periodo, Meteo, Viento, Estadio, Conducta, Habitat };
    std::optional<QString> Texto(Lista lista, int id);

    struct Especie {
        QString nombreCastellano;
        QString clase;
    };
    std::optional<Especie> BuscarEspecie(const QString &codigo);

    // Provinces in the table's order, or those that contain a 10-km square.
    QStringList Provincias();
    QStringList ProvinciasDeCuadrado(const QString &utm10);
    std::optional<int> IdProvincia(const QString &provincia);

    // Municipalities of a province by name, optionally only those containing a square.
    QStringList MunicipiosDeProvincia(const QString &provincia, const QString &utm10 = QString());
    // Names repeat across provinces (two Torrents): a municipality is named with its province.
    std::optional<int> IdMunicipio(const QString &municipio, const QString &provincia);
    struct Municipio {
        QString nombre;
        QString provincia;
    };
    std::optional<Municipio> BuscarMunicipio(int idMuni);
    // The municipalities a 10-km square touches, as "municipality (province)", sorted.
    QStringList MunicipiosDeCuadrado(const QString &utm10);

    // Every 10-km square of the country, or of one municipality (by name and province),
    // sorted.
    QStringList Cuadrados10k();
    QStringList Cuadrados10kDeMunicipio(const QString &municipio, const QString &provincia);
};
