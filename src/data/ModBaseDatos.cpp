#include "ModBaseDatos.h"

#include "ArchivoComprobado.h"
#include "Clock.h"
#include "SqliteText.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QEventLoop>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTime>
#include <QTimer>
#include <cmath>
#include <sqlite3.h>

namespace {
double escala = 1.0;
} // namespace

void ModBaseDatos::setEscalaEsperas(double factor) {
    escala = factor;
}

void ModBaseDatos::Esperar(double segundos) {
    const double pedido = segundos * escala;
    const double inicio = Clock::SegundosDelDia();
    for (;;) {
        const double transcurrido = std::fabs(Clock::SegundosDelDia() - inicio);
        if (!(transcurrido < pedido)) return;
        // Sleep in the event loop in short slices so that clicks and painting go on.
        QEventLoop bucle;
        const int ms = int(std::min(50.0, (pedido - transcurrido) * 1000.0)) + 1;
        QTimer::singleShot(ms, &bucle, &QEventLoop::quit);
        bucle.exec(QEventLoop::AllEvents);
    }
}

QByteArray ModBaseDatos::Windows1252(const QString &texto, bool *sustituido) {
    // Code points 0x80-0x9F of the code page, in order (0 where the code page has none).
    static const char16_t alto[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    QByteArray salida;
    salida.reserve(texto.size());
    bool cambio = false;
    for (qsizetype i = 0; i < texto.size(); ++i) {
        const char16_t c = texto[i].unicode();
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            salida += char(c);
            continue;
        }
        char b = '?';
        if (QChar::isHighSurrogate(c)) {
            if (i + 1 < texto.size() && texto[i + 1].isLowSurrogate()) ++i;
        } else {
            for (int k = 0; k < 32; ++k)
                if (alto[k] && alto[k] == c) b = char(0x80 + k);
        }
        cambio = cambio || b == '?';
        salida += b;
    }
    if (sustituido) *sustituido = cambio;
    return salida;
}

QString ModBaseDatos::CampoTexto(const QString &valor, const QString &separador) {
    // A quote alone breaks no record: a plain reader splitting at the separator reads it right.
    const bool comillas = (!separador.isEmpty() && valor.contains(separador)) ||
                          valor.contains(u'\r') || valor.contains(u'\n');
    if (!comillas) return valor;
    return u'"' + QString(valor).replace(QLatin1String("\""), QLatin1String("\"\"")) + u'"';
}

namespace {
// yyyy-mm-dd without a regular expression: the writer tests every value it writes.
bool PareceFechaIso(const QString &t) {
    if (t.size() != 10 || t[4] != u'-' || t[7] != u'-') return false;
    for (int i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (t[i] < u'0' || t[i] > u'9') return false;
    return true;
}

QString TextoFecha(const QString &t) {
    if (PareceFechaIso(t)) {
        const QDate d = QDate::fromString(t, Qt::ISODate);
        if (d.isValid()) return d.toString(QStringLiteral("dd/MM/yyyy"));
    }
    return t;
}

QString TextoValor(const QVariant &v) {
    if (v.isNull()) return QString();
    if (v.typeId() == QMetaType::QDate) return v.toDate().toString(QStringLiteral("dd/MM/yyyy"));
    return TextoFecha(v.toString());
}

// Appends one value in Windows-1252, enclosed in quotes when it must be (as CampoTexto
// says), in one pass over its characters; counts it when a character became '?'.
void AnadirValor(QByteArray &destino, const QString &valor, const QString &separador,
                 int &sustituidos) {
    const bool simple = separador.size() == 1;
    const QChar sep = simple ? separador[0] : QChar();
    bool comillas = !simple && !separador.isEmpty() && valor.contains(separador);
    bool ascii = true;
    for (const QChar c : valor) {
        const char16_t u = c.unicode();
        if (u == u'\r' || u == u'\n' || (simple && c == sep)) comillas = true;
        if (u >= 0x80) ascii = false;
    }
    if (ascii && !comillas) {
        destino += valor.toLatin1();
        return;
    }
    bool cambio = false;
    destino += ModBaseDatos::Windows1252(
        comillas ? ModBaseDatos::CampoTexto(valor, separador) : valor, &cambio);
    sustituidos += cambio;
}
// A value read straight from SQLite, written as AnadirValor would write its text form. Plain
// text and numbers go through as their bytes; anything else takes the general way.
void AnadirCelda(QByteArray &destino, const SqliteText::Celda &c, const QString &separador,
                 int &sustituidos) {
    switch (c.tipo) {
    case SQLITE_NULL:
        return;
    case SQLITE_INTEGER:
        destino.append(c.texto, c.bytes);
        return;
    case SQLITE_FLOAT:
        AnadirValor(destino, QString::number(c.real, 'g', QLocale::FloatingPointShortest),
                    separador, sustituidos);
        return;
    default:
        break;
    }
    if (c.bytes == 10 && c.texto[4] == '-' && c.texto[7] == '-') {
        // An ISO date, written as dd/mm/yyyy without a detour through QString.
        const auto numero = [&](int desde, int cifras) {
            int n = 0;
            for (int k = desde; k < desde + cifras; ++k) {
                if (c.texto[k] < '0' || c.texto[k] > '9') return -1;
                n = n * 10 + (c.texto[k] - '0');
            }
            return n;
        };
        const int y = numero(0, 4), m = numero(5, 2), d = numero(8, 2);
        if (y >= 0 && m >= 0 && d >= 0 && QDate(y, m, d).isValid()) {
            const char *t = c.texto;
            const char fecha[10] = {t[8], t[9], '/', t[5], t[6], '/', t[0], t[1], t[2], t[3]};
            destino.append(fecha, 10);
            return;
        }
    }
    const char16_t sep = separador.size() == 1 ? separador[0].unicode() : 0;
    bool simple = sep && sep < 0x80;
    for (int k = 0; simple && k < c.bytes; ++k) {
        const uchar b = uchar(c.texto[k]);
        simple = b < 0x80 && b != '\r' && b != '\n' && b != sep;
    }
    if (simple) {
        destino.append(c.texto, c.bytes);
        return;
    }
    AnadirValor(destino, TextoFecha(QString::fromUtf8(c.texto, c.bytes)), separador, sustituidos);
}

} // namespace

bool ModBaseDatos::EscribirArchivoTexto(QSqlQuery *consulta, const QString &ruta, bool cabecera,
                                        const QString &separador, QString *error, int *sustituidos,
                                        const Avance &avance) {
    int cambiados = 0;
    if (sustituidos) *sustituidos = 0;
    if (!consulta) {
        *error = QStringLiteral("No hay ningún objeto Recordset referenciado.");
        return false;
    }
    if (!consulta->isActive()) {
        *error = QStringLiteral("El objeto Recordset está cerrado.");
        return false;
    }
    const QSqlRecord campos = consulta->record();
    ArchivoComprobado archivo(ruta);
    if (!archivo.Abrir(error)) return false;
    const QByteArray sep = Windows1252(separador);
    constexpr qsizetype kBloque = 1 << 20;
    QByteArray bloque;
    bloque.reserve(kBloque + (kBloque >> 2));
    // Written in blocks: any number of rows without holding the whole file in memory.
    const auto volcar = [&](qsizetype minimo) {
        if (bloque.size() < minimo) return true;
        const bool ok = archivo.Escribir(bloque);
        bloque.clear();
        return ok;
    };
    bool escrito = true, seguir = true;
    qint64 filas = 0;
    // Every so many rows the user may stop the work.
    constexpr qint64 kCadaFilas = 256;
    const auto otraFila = [&] {
        if (++filas % kCadaFilas == 0) seguir = Avances::Seguir(avance, filas, 0);
        return seguir;
    };
    const int columnas = campos.count();
    if (cabecera) {
        for (int i = 0; i < columnas; ++i) {
            if (i) bloque += sep;
            AnadirValor(bloque, campos.fieldName(i), separador, cambiados);
        }
        bloque += "\r\n";
    }
    QString fallo;
    const bool directo = SqliteText::LeerFilas(
        *consulta,
        [&](int i, const SqliteText::Celda &c) {
            if (i) bloque += sep;
            AnadirCelda(bloque, c, separador, cambiados);
        },
        [&] {
            bloque += "\r\n";
            escrito = volcar(kBloque);
            return escrito && otraFila();
        },
        &fallo);
    bool hay = !directo && consulta->first();
    while (hay && escrito && seguir) {
        for (int i = 0; i < columnas; ++i) {
            if (i) bloque += sep;
            AnadirValor(bloque, TextoValor(consulta->value(i)), separador, cambiados);
        }
        bloque += "\r\n";
        escrito = volcar(kBloque);
        hay = otraFila() && consulta->next();
    }
    if (!seguir) {
        *error = Avances::kCancelado;
        return false;
    }
    if (fallo.isEmpty() && consulta->lastError().isValid()) fallo = consulta->lastError().text();
    if (!fallo.isEmpty()) {
        *error = fallo;
        return false;
    }
    bloque += "\r\n";
    // A failed write is told by Confirmar, with its cause.
    volcar(0);
    if (!archivo.Confirmar(error)) return false;
    if (sustituidos) *sustituidos = cambiados;
    return true;
}
