#pragma once

#include "data/SpeciesNames.h"
#include "data/Store.h"
#include "import/ImportReader.h"
#include "localities/MunicipalityLocator.h"
#include "photos/PhotoStore.h"

#include <QHash>
#include <QMap>
#include <QSet>
#include <memory>

class Geodesy;

// From the records of a file to observations: the species by any of its names, the
// municipality from the point, the locality reused within 100 m in the same municipality or
// proposed new, the duplicates found; then every ticked row stored in one transaction.
// A record's uncertainty is never lost into a locality that claims more: a stored locality
// of known uncertainty is reused only when the record's circle lies inside the locality's,
// and its uncertainty is never changed; a new locality's circle holds all its records'.
class ImportStore : public Store {
public:
    // Metres within which a stored locality of the same municipality is taken for the point.
    static constexpr double kRadioLocalidad = 100.0;

    enum class Estado {
        Nueva,
        Duplicada,  // the same species, date, locality and observer stored or above
        SinEspecie, // no species recognised
        SinFecha,
        SinPosicion,
        FueraDeEspana,   // at sea or abroad
        TierraComun,     // on land shared by several municipalities, of none of them
        ElegirMunicipio, // near a boundary: the user chooses among the candidates
        TextoLargo,      // a description or a name beyond ModBaseDatos::kMaximoTexto
        PosicionOculta,  // the platform hid the point and the file lacks the true one
        Cautividad,      // an animal in captivity
    };
    static QString TextoEstado(Estado e);

    struct Fila {
        Import::Record registro;
        bool marcada = false;
        QString especie; // accepted code; empty when none recognised
        // Position in UTM ETRS89 and squares; huso 0 when there is none.
        int huso = 0;
        qint64 este = 0, norte = 0;
        QString utm10k, utm1k;
        QList<int> candidatos; // municipalities the point may lie in
        bool tierraComun = false;
        int muni = 0; // the one chosen (0: none yet)
        // The locality: a stored one (its code), or a new one of this file (its name and its
        // number among the file's new localities).
        QString codigoLocalidad;
        QString nombreLocalidad;
        int nueva = -1;
        Estado estado = Estado::SinEspecie;
    };

    struct Resumen {
        int observaciones = 0;
        int localidades = 0;
        int fotos = 0;
        QMap<QString, int> omitidas; // rows left out by reason
    };

    explicit ImportStore(QSqlDatabase db = QSqlDatabase());
    ~ImportStore();

    // The observers' codes and names, the default observer first; false with error() set.
    bool Observadores(QStringList *codigos, QStringList *nombres);
    // Species offered in the grid's choice: "code - scientific name".
    QStringList Especies();
    QString NombreMunicipio(int id);

    // Rows of the records (taken over), evaluated for the observer; false with error() set
    // when a lookup failed or the user cancelled (Avances::kCancelado).
    bool Preparar(QList<Import::Record> registros, const QString &observador, QList<Fila> *filas,
                  const Avance &avance = {});
    // The same in steps, for records handed over one by one as a file is read: Empezar once,
    // Anadir for each record, then Terminar; each false with error() set.
    bool Empezar();
    bool Anadir(Import::Record &&registro, QList<Fila> *filas);
    bool Terminar(QList<Fila> *filas, const QString &observador, const Avance &avance = {});
    // Evaluates again after the user changed a species, a municipality or the observer: the
    // localities proposed and the statuses. A row that becomes importable is ticked.
    bool Evaluar(QList<Fila> *filas, const QString &observador, const Avance &avance = {});
    // Stores the ticked new rows and their new localities, all or nothing: a cancel rolls
    // everything back and fails with Avances::kCancelado. Rows of photographs of the same
    // species, date and locality become one observation with those photos, taken in as
    // `fotos` says.
    std::optional<Resumen> Guardar(QList<Fila> *filas, const QString &observador,
                                   const Avance &avance = {},
                                   const PhotoStore::Opciones &fotos = {});

private:
    struct Cercana {
        QString codigo;
        QString nombre;
        QString huso;
        qint64 x, y;
        QVariant incertidumbre;
    };
    bool LocalidadesDe(int muni, const QList<Cercana> **lista);
    bool CargarMunicipios();

    SpeciesNames especies_;
    bool especiesCargadas_ = false;
    MunicipalityLocator localizador_;
    std::unique_ptr<Geodesy> geo_;
    QHash<int, QList<Cercana>> localidades_;     // by municipality
    QHash<int, QPair<QString, int>> municipios_; // name, province
    QHash<QString, std::optional<SpeciesNames::Coincidencia>> porTexto_;
    QSet<QString> codigos_;
    QSet<QString> cuadrados_; // one copy of each square's name while a file is read
};

// Rows are moved in memory as they are, so that a growing list of a large file's rows is
// reallocated in place rather than copied.
Q_DECLARE_TYPEINFO(ImportStore::Fila, Q_RELOCATABLE_TYPE);
