#pragma once

#include <QChar>
#include <QString>

class QSqlDatabase;

namespace SqliteTexto {
// Replaces NOCASE and LIKE on an open SQLite connection by versions that fold case
// over all of Unicode (Á equals á), keeping accented and plain letters distinct.
bool Instalar(const QSqlDatabase &db);
// The same matching, for callers that filter in memory.
bool Like(const QString &patron, const QString &texto, QChar escape = QChar());
} // namespace SqliteTexto
