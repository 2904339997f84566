#include "SqliteTexto.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QString>
#include <QVariant>
#include <sqlite3.h>

namespace {

QString Desde(const void *datos, int bytes) {
    return QString::fromUtf8(static_cast<const char *>(datos), bytes);
}

int CompararSinMayusculas(void *, int l1, const void *s1, int l2, const void *s2) {
    return QString::compare(Desde(s1, l1).toCaseFolded(), Desde(s2, l2).toCaseFolded());
}

// Pattern and text are already case-folded; % and _ are wildcards unless escaped.
bool Coincide(const QString &p, qsizetype i, const QString &t, qsizetype j, QChar esc) {
    while (i < p.size()) {
        const QChar c = p[i];
        if (!esc.isNull() && c == esc) {
            if (i + 1 >= p.size()) return false;
            if (j >= t.size() || t[j] != p[i + 1]) return false;
            i += 2;
            ++j;
        } else if (c == u'%') {
            while (i < p.size() && p[i] == u'%')
                ++i;
            if (i == p.size()) return true;
            for (qsizetype k = j; k <= t.size(); ++k)
                if (Coincide(p, i, t, k, esc)) return true;
            return false;
        } else if (c == u'_') {
            if (j >= t.size()) return false;
            // A surrogate pair is one character.
            j += (t[j].isHighSurrogate() && j + 1 < t.size()) ? 2 : 1;
            ++i;
        } else {
            if (j >= t.size() || t[j] != c) return false;
            ++i;
            ++j;
        }
    }
    return j == t.size();
}

void FuncionLike(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    auto texto = [](sqlite3_value *v) {
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_value_text(v)),
                                 sqlite3_value_bytes(v));
    };
    QChar esc;
    if (argc == 3) {
        const QString e = texto(argv[2]);
        if (e.size() != 1) {
            sqlite3_result_error(ctx, "ESCAPE expression must be a single character", -1);
            return;
        }
        esc = e[0].toCaseFolded();
    }
    sqlite3_result_int(ctx, SqliteTexto::Like(texto(argv[0]), texto(argv[1]), esc) ? 1 : 0);
}

} // namespace

bool SqliteTexto::Like(const QString &patron, const QString &texto, QChar escape) {
    return Coincide(patron.toCaseFolded(), 0, texto.toCaseFolded(), 0, escape.toCaseFolded());
}

bool SqliteTexto::Instalar(const QSqlDatabase &db) {
    const QVariant h = db.driver() ? db.driver()->handle() : QVariant();
    if (!h.isValid() || qstrcmp(h.typeName(), "sqlite3*") != 0) return false;
    sqlite3 *conexion = *static_cast<sqlite3 *const *>(h.constData());
    if (!conexion) return false;
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    return sqlite3_create_collation(conexion, "NOCASE", SQLITE_UTF8, nullptr,
                                    CompararSinMayusculas) == SQLITE_OK &&
           sqlite3_create_function(conexion, "like", 2, flags, nullptr, FuncionLike, nullptr,
                                   nullptr) == SQLITE_OK &&
           sqlite3_create_function(conexion, "like", 3, flags, nullptr, FuncionLike, nullptr,
                                   nullptr) == SQLITE_OK;
}
