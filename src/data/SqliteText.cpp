#include "SqliteText.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QSqlResult>
#include <QString>
#include <QVariant>
#include <algorithm>
#include <sqlite3.h>

namespace {

QString Desde(const void *datos, int bytes) {
    return QString::fromUtf8(static_cast<const char *>(datos), bytes);
}

int CompararSinMayusculas(void *, int l1, const void *s1, int l2, const void *s2) {
    // Codes and most names are ASCII: compared here byte by byte, folded as the full
    // comparison would fold them, with no text built. Anything else takes the full way.
    const auto *a = static_cast<const unsigned char *>(s1);
    const auto *b = static_cast<const unsigned char *>(s2);
    const int n = std::min(l1, l2);
    for (int i = 0; i < n; ++i) {
        unsigned char x = a[i], y = b[i];
        if ((x | y) & 0x80)
            return QString::compare(Desde(s1, l1).toCaseFolded(), Desde(s2, l2).toCaseFolded());
        if (x >= 'A' && x <= 'Z') x += 'a' - 'A';
        if (y >= 'A' && y <= 'Z') y += 'a' - 'A';
        if (x != y) return x < y ? -1 : 1;
    }
    // Folding keeps a character a character: the shorter, a prefix of the other, comes first.
    return l1 == l2 ? 0 : l1 < l2 ? -1 : 1;
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
    sqlite3_result_int(ctx, SqliteText::Like(texto(argv[0]), texto(argv[1]), esc) ? 1 : 0);
}

} // namespace

void SqliteText::ClaveSinMayusculas(const char *texto, int bytes, std::string *clave) {
    clave->assign(texto, size_t(std::max(bytes, 0)));
    for (char &c : *clave) {
        if (c & 0x80) {
            // As the comparison above: any text beyond ASCII is folded whole.
            *clave = QString::fromUtf8(texto, bytes).toCaseFolded().toStdString();
            return;
        }
        if (c >= 'A' && c <= 'Z') c = char(c + ('a' - 'A'));
    }
}

bool SqliteText::Like(const QString &patron, const QString &texto, QChar escape) {
    return Coincide(patron.toCaseFolded(), 0, texto.toCaseFolded(), 0, escape.toCaseFolded());
}

bool SqliteText::Instalar(const QSqlDatabase &db) {
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

bool SqliteText::LeerFilas(QSqlQuery &consulta,
                           const std::function<void(int, const Celda &)> &celda,
                           const std::function<bool()> &finFila, QString *error) {
    if (!consulta.isActive() || !consulta.isSelect() || !consulta.isForwardOnly() ||
        consulta.at() != QSql::BeforeFirstRow || !consulta.result())
        return false;
    const QVariant h = consulta.result()->handle();
    if (!h.isValid() || qstrcmp(h.typeName(), "sqlite3_stmt*") != 0) return false;
    sqlite3_stmt *sentencia = *static_cast<sqlite3_stmt *const *>(h.constData());
    if (!sentencia) return false;
    // Running the query stepped onto its first row (a busy statement with data), or found
    // none and reset it; either way nothing has been handed out yet.
    const bool primera = sqlite3_stmt_busy(sentencia) && sqlite3_data_count(sentencia) > 0;
    if (!primera) {
        consulta.finish();
        return true;
    }
    const int columnas = sqlite3_column_count(sentencia);
    int paso = SQLITE_ROW;
    while (paso == SQLITE_ROW) {
        for (int i = 0; i < columnas; ++i) {
            const int tipo = sqlite3_column_type(sentencia, i);
            Celda c{tipo, nullptr, 0, 0.0};
            if (tipo == SQLITE_FLOAT) {
                c.real = sqlite3_column_double(sentencia, i);
            } else if (tipo != SQLITE_NULL) {
                c.texto = reinterpret_cast<const char *>(sqlite3_column_text(sentencia, i));
                c.bytes = sqlite3_column_bytes(sentencia, i);
            }
            celda(i, c);
        }
        if (!finFila()) break;
        paso = sqlite3_step(sentencia);
    }
    if (paso != SQLITE_ROW && paso != SQLITE_DONE)
        *error = QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(sentencia)));
    // The rows are spent: the query must not hand them out again.
    consulta.finish();
    return true;
}
