#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>

// The progress of a long task, told to whoever shows it: what is done out of a total (0 when
// the total is not known). It returns false once the user has asked to stop; the task then
// undoes what it did (rolls back its transaction, removes its partly written file) and
// returns as failed with kCancelado as its reason.
using Avance = std::function<bool(qint64 hecho, qint64 total)>;

namespace Avances {

inline const QString kCancelado = QStringLiteral("Cancelado: no se ha guardado nada.");

// True to go on. Without a callback a task always goes on.
inline bool Seguir(const Avance &avance, qint64 hecho, qint64 total) {
    return !avance || avance(hecho, total);
}

} // namespace Avances
