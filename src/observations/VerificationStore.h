#pragma once

#include "data/Store.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QStringList>
#include <optional>

// The check of records before they leave: each observation's status (none yet, accepted,
// doubtful, rejected), who set it, when and why, and the warnings that point a verifier to
// the records worth a look, worked out from the database itself.
class VerificationStore : public Store {
public:
    using Store::Store;

    enum class Estado { Ninguno, Aceptada, Dudosa, Rechazada };
    // As stored ("aceptada"...); empty for none.
    static QString Texto(Estado estado);
    static Estado DeTexto(const QString &texto);

    // The thresholds of the warnings.
    static constexpr int kOtrosCuadrados = 20;       // squares that make a new one odd
    static constexpr int kCitasEpoca = 30;           // records that give the species a season
    static constexpr int kDiasEpoca = 30;            // how near a day of the year counts
    static constexpr int kCitasNumero = 30;          // records that make a count comparable
    static constexpr int kNumeroMaximo = 1000;       // a count above this is always odd
    static constexpr double kFueraMunicipio = 250.0; // metres outside the municipality
    static constexpr int kPrimerAno = 1900;

    struct Filtro {
        std::optional<Estado> estado = Estado::Ninguno; // nothing: every status
        QString especie;                                // species code
        QString observador;                             // code of any of the four observers
        QString provincia;                              // province name
        bool soloAvisos = false;
    };
    struct Registro {
        int id = 0;
        QDate fecha;
        QString especie, localidad, municipio, provincia, utm10k;
        QStringList observadores;
        QVariant numejemp;
        Estado estado = Estado::Ninguno;
        QString verificador, cuando, comentario;
        int fotos = 0;
        QStringList avisos;
    };

    // The observations that pass the filter, by date then identifier, each with its warnings
    // (with soloAvisos, only those that have one); nothing with error() set on failure.
    // `hoy` is the day after which a date lies in the future.
    std::optional<QList<Registro>> Listar(const Filtro &filtro, const QDate &hoy);

    // The status of one observation, who set it and when; nothing when it is gone or the
    // read failed (error() set).
    struct Verificacion {
        Estado estado = Estado::Ninguno;
        QString verificador, cuando, comentario;
    };
    std::optional<Verificacion> De(int id);

    // Sets the status of the observations, all in one transaction: who (an observer's code),
    // when and the comment, which a rejection needs. Setting none clears all four.
    bool Verificar(const QList<int> &ids, Estado estado, const QString &verificador,
                   const QString &comentario, const QDateTime &cuando);

    // Whether the connection's user may set a status (always on a file); nothing when the
    // server could not say.
    std::optional<bool> PuedeVerificar();
};
