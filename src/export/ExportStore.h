#pragma once

#include "data/Store.h"

#include <QHash>
#include <QList>

// The statements of the export for the association: the observations with their
// locality, the observers and the reasons, each read whole.
class ExportStore : public Store {
public:
    using Store::Store;

    enum class Tabla { Observaciones, Observadores, Motivos };

    // The executed query of a table, rows in a fixed order; inactive with error() set when
    // it failed.
    QSqlQuery Consultar(Tabla tabla);
    // Whether the table has a row to export; nothing when the read failed (error() set).
    std::optional<bool> TieneFilas(Tabla tabla);

    // The statement of a table, as the export runs it.
    QString Sentencia(Tabla tabla) const;
    // Whether the association's file and photos leave out the rejected observations.
    void ExcluirRechazadas(bool excluir) { sinRechazadas_ = excluir; }
    // How many rejected observations the association's file (or, conLocalidad false, the
    // Darwin Core archive) would hold; nothing when the read failed (error() set).
    std::optional<int> ContarRechazadas(bool conLocalidad);

    // Every observation but the rejected ones, with what a published occurrence needs: names
    // instead of codes, the locality's place, squares and uncertainty, whether its species is
    // sensitive and whether its locality holds a sensitive species' record, its verification and
    // the comment. Columns by name; rows by identifier.
    QSqlQuery ConsultarOcurrencias();

    // A photograph of an observation the association's file holds, numbered from 1 within
    // its observation; its position is withheld for a sensitive species and at the
    // localities of such species, as in the Darwin Core export.
    struct FotoExportada {
        int observacion = 0;
        int numero = 0;
        QString sha256;
        bool sinPosicion = false;
    };
    // In observation and photo order; error() set on failure.
    QList<FotoExportada> Fotos();

    struct Persona {
        QString nombre;
        QString apellido;
        QString email;
        QString codigo;
    };
    // The default observer; nothing when there is none (error() empty) or the read failed.
    std::optional<Persona> ObservadorPorDefecto();
    // The identifier of the dataset this database publishes, made on the first call;
    // nothing when it could not be read or stored (error() set).
    std::optional<QString> ConjuntoDatos();

    struct Especie {
        QString codigo;
        QString cientifico;
        QString comun;
        bool sensible = false;
    };
    // The accepted species, in scientific name order.
    QList<Especie> Especies();
    // Sets the sensitive flag of the listed species, all in one transaction.
    bool GuardarSensibles(const QHash<QString, bool> &sensibles);

private:
    bool sinRechazadas_ = false;
};
