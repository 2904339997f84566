#include "SpreadsheetWriter.h"

#include "ArchivoComprobado.h"
#include "ColumnTable.h"
#include "ModConex.h"
#include "SqliteText.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <sqlite3.h>
#include <xlsxwriter.h>
#include <zip.h>

namespace {

constexpr int kFilaCabecera = 2; // row 3: rows 1 and 2 stay empty
constexpr double kAnchoMaximo = 80;
constexpr int kTextoMaximo = 32767; // characters a cell holds

const char *FormatoNumero(Column::Formato f) {
    switch (f) {
    case Column::Formato::Fecha:
        return "dd/mm/yyyy";
    case Column::Formato::Entero:
        return "0";
    case Column::Formato::Decimal:
        return "0.00";
    case Column::Formato::Texto:
    case Column::Formato::SiNo:
        break;
    }
    return "@";
}

QString Fallo(const QString &ruta, const QString &motivo) {
    return QStringLiteral("No se ha podido escribir la hoja de cálculo %1: %2")
        .arg(QDir::toNativeSeparators(ruta), motivo);
}

// libxlsxwriter's failures in the user's words (its own texts are English).
QString Causa(lxw_error e) {
    switch (e) {
    case LXW_ERROR_MEMORY_MALLOC_FAILED:
        return QStringLiteral("no hay memoria suficiente.");
    case LXW_ERROR_CREATING_XLSX_FILE:
        return QStringLiteral("no se puede crear el archivo.");
    case LXW_ERROR_CREATING_TMPFILE:
        return QStringLiteral("no se puede crear un archivo temporal en la carpeta temporal "
                              "del sistema.");
    case LXW_ERROR_READING_TMPFILE:
        return QStringLiteral("no se puede leer el archivo temporal.");
    default:
        return QStringLiteral("el archivo no se ha podido completar (error %1 al escribirlo).")
            .arg(int(e));
    }
}

// A spreadsheet is a zip archive whose sheet libxlsxwriter first writes to a temporary file,
// and whose failures there it does not report: a full temporary disk gives an empty sheet in
// a sound archive. The written file is read back, to the sheet's closing tag, before the user
// is told it was saved.
bool Completo(const QString &ruta, int hojas) {
    int codigo = 0;
    zip_t *z = zip_open(QFile::encodeName(ruta).constData(), ZIP_RDONLY, &codigo);
    if (!z) return false;
    bool completas = true;
    for (int i = 1; i <= hojas && completas; ++i) {
        QByteArray final;
        const QByteArray nombre = "xl/worksheets/sheet" + QByteArray::number(i) + ".xml";
        zip_file_t *hoja = zip_fopen(z, nombre.constData(), 0);
        bool leido = hoja != nullptr;
        if (hoja) {
            QByteArray bloque(1 << 16, Qt::Uninitialized);
            zip_int64_t n = 0;
            while ((n = zip_fread(hoja, bloque.data(), zip_uint64_t(bloque.size()))) > 0)
                final = (final + bloque.left(qsizetype(n))).right(64);
            leido = n == 0;
            zip_fclose(hoja);
        }
        completas = leido && final.trimmed().endsWith("</worksheet>");
    }
    zip_discard(z);
    return completas;
}

// One value as read from the query: null, or its text in UTF-8 (ending in a NUL) and, when
// it was stored as a number, that number.
struct Valor {
    bool nulo = true;
    const char *texto = "";
    int bytes = 0;
    bool numero = false;
    double real = 0;
};

// Characters of a UTF-8 text, as a width.
qsizetype Caracteres(const char *texto, int bytes) {
    qsizetype n = 0;
    for (int i = 0; i < bytes; ++i)
        n += (static_cast<unsigned char>(texto[i]) & 0xC0) != 0x80;
    return n;
}

QByteArrayView Recortado(const Valor &v) {
    return QByteArrayView(v.texto, v.bytes).trimmed();
}

// Writes one value in its column's way; returns the width of what it shows, or nothing when
// the cell cannot hold it.
std::optional<qsizetype> Escribir(lxw_worksheet *hoja, lxw_row_t fila, lxw_col_t col,
                                  const Valor &v, Column::Formato formato, lxw_format *f) {
    if (formato == Column::Formato::SiNo) {
        const bool si =
            !v.nulo && (v.numero ? v.real != 0 : !Recortado(v).isEmpty() && Recortado(v) != "0");
        worksheet_write_string(hoja, fila, col, si ? "Si" : "No", f);
        return 2;
    }
    if (v.nulo || v.bytes == 0) return 0;
    if (formato == Column::Formato::Fecha && v.bytes >= 10) {
        const QDate d = QDate::fromString(QLatin1String(v.texto, 10), Qt::ISODate);
        if (d.isValid()) {
            lxw_datetime dt = {d.year(), d.month(), d.day(), 0, 0, 0};
            worksheet_write_datetime(hoja, fila, col, &dt, f);
            return 10;
        }
    } else if (formato == Column::Formato::Entero || formato == Column::Formato::Decimal) {
        bool ok = v.numero;
        const double n = ok ? v.real : Recortado(v).toByteArray().toDouble(&ok);
        if (ok) {
            worksheet_write_number(hoja, fila, col, n, f);
            return Recortado(v).size();
        }
    }
    // A text, or a value that does not read as its column's kind: shown as stored.
    if (worksheet_write_string(hoja, fila, col, v.texto, f) != LXW_NO_ERROR) return std::nullopt;
    return Caracteres(v.texto, v.bytes);
}

} // namespace

bool EscribirHojaCalculo(QSqlQuery &consulta, const ColumnTable &columnas, const QString &ruta,
                         QString *error, const Avance &avance, int *numeroHojas) {
    auto fallar = [&](const QString &motivo) {
        if (error) *error = Fallo(ruta, motivo);
        return false;
    };
    if (!consulta.isActive()) return fallar(DescribirError(consulta.lastError()));
    // Written beside the target and renamed at the end, so a failure leaves no half file.
    const QString parcial = ruta + QStringLiteral(".parcial");
    QFile::remove(parcial);
    const QByteArray nombre = QFile::encodeName(parcial);
    // Rows stream to a temporary file: any number of rows, little memory.
    lxw_workbook_options opciones = {LXW_TRUE, nullptr, LXW_TRUE};
    lxw_workbook *libro = workbook_new_opt(nombre.constData(), &opciones);
    if (!libro) return fallar(Causa(LXW_ERROR_CREATING_TMPFILE));
    QList<lxw_worksheet *> hojas = {workbook_add_worksheet(libro, nullptr)};
    lxw_worksheet *hoja = hojas.first();

    lxw_format *cabecera = workbook_add_format(libro);
    format_set_bold(cabecera);
    format_set_pattern(cabecera, LXW_PATTERN_SOLID);
    format_set_bg_color(cabecera, 0xC0C0C0); // colour index 15, the light grey
    QList<lxw_format *> formatos;
    QList<qsizetype> anchos;
    // One format per number format: libxlsxwriter remembers the index only of the first of
    // equal formats, and would look the others up again for every cell.
    QHash<QByteArray, lxw_format *> porNumero;
    for (lxw_col_t c = 0; c < lxw_col_t(columnas.size()); ++c) {
        const QByteArray numero = FormatoNumero(columnas[c].formato);
        lxw_format *&f = porNumero[numero];
        if (!f) {
            f = workbook_add_format(libro);
            format_set_num_format(f, numero.constData());
        }
        formatos << f;
        anchos << columnas[c].cabecera.size();
    }
    const auto escribirCabecera = [&] {
        for (lxw_col_t c = 0; c < lxw_col_t(columnas.size()); ++c)
            worksheet_write_string(hoja, kFilaCabecera, c,
                                   columnas[c].cabecera.toUtf8().constData(), cabecera);
    };
    escribirCabecera();

    const auto cancelar = [&] {
        workbook_close(libro);
        QFile::remove(parcial);
        if (error) *error = Avances::kCancelado;
        return false;
    };
    lxw_row_t fila = kFilaCabecera + 1;
    qint64 escritas = 0;
    const qint64 total = consulta.size() > 0 ? consulta.size() : 0;
    QString motivo;
    bool seguir = true;
    // Before each row: the progress, and a new sheet when this one is full.
    const auto empezarFila = [&] {
        if (escritas % 256 == 0 && !Avances::Seguir(avance, escritas, total)) {
            seguir = false;
            return false;
        }
        if (fila < LXW_ROW_MAX) return true;
        // A sheet full: the rows go on in another, under the same header.
        hoja = workbook_add_worksheet(libro, nullptr);
        if (!hoja) {
            motivo = Causa(LXW_ERROR_MEMORY_MALLOC_FAILED);
            return false;
        }
        hojas << hoja;
        escribirCabecera();
        fila = kFilaCabecera + 1;
        return true;
    };
    const auto escribir = [&](lxw_col_t c, const Valor &v) {
        if (!motivo.isEmpty() || c >= lxw_col_t(columnas.size())) return;
        const auto ancho = Escribir(hoja, fila, c, v, columnas[c].formato, formatos[c]);
        // A cut text would be a record changed behind the user's back.
        if (!ancho) {
            motivo = QStringLiteral("el valor de %1 en la fila %2 es más largo de lo que cabe "
                                    "en una celda (%3 caracteres).")
                         .arg(columnas[c].cabecera)
                         .arg(fila + 1)
                         .arg(kTextoMaximo);
            return;
        }
        anchos[c] = std::max(anchos[c], *ancho);
    };
    // A file's query is read straight from SQLite's statement, with no value built.
    bool empezada = false;
    QString fallo;
    const bool directo = SqliteText::LeerFilas(
        consulta,
        [&](int c, const SqliteText::Celda &celda) {
            if (!empezada && !(empezada = true, empezarFila())) return;
            if (!seguir) return;
            Valor v;
            v.nulo = celda.tipo == SQLITE_NULL;
            if (celda.tipo == SQLITE_FLOAT) {
                v.numero = true;
                v.real = celda.real;
                // As a value's text shows it, for the width and for Si/No.
                static thread_local char numero[32];
                v.bytes = std::snprintf(numero, sizeof numero, "%.15g", celda.real);
                v.texto = numero;
            } else if (!v.nulo && celda.texto) {
                v.texto = celda.texto;
                v.bytes = celda.bytes;
                if (celda.tipo == SQLITE_INTEGER) {
                    v.numero = true;
                    v.real = QByteArrayView(celda.texto, celda.bytes).toDouble();
                }
            }
            escribir(lxw_col_t(c), v);
        },
        [&] {
            if (!seguir || !motivo.isEmpty()) return false;
            empezada = false;
            ++fila;
            ++escritas;
            return true;
        },
        &fallo);
    if (!directo) {
        if (consulta.isSelect() && !consulta.isForwardOnly()) consulta.seek(QSql::BeforeFirstRow);
        while (seguir && motivo.isEmpty() && consulta.next()) {
            if (!empezarFila()) break;
            for (lxw_col_t c = 0; c < lxw_col_t(columnas.size()); ++c) {
                const QVariant valor = consulta.value(int(c));
                const QByteArray texto = valor.toString().toUtf8();
                Valor v;
                v.nulo = valor.isNull();
                v.texto = texto.constData();
                v.bytes = int(texto.size());
                const int tipo = valor.typeId();
                v.numero = tipo == QMetaType::Int || tipo == QMetaType::LongLong ||
                           tipo == QMetaType::UInt || tipo == QMetaType::ULongLong ||
                           tipo == QMetaType::Double;
                v.real = v.numero ? valor.toDouble() : 0;
                escribir(c, v);
            }
            ++fila;
            ++escritas;
        }
    }
    if (!seguir) return cancelar();
    if (!motivo.isEmpty()) {
        workbook_close(libro);
        QFile::remove(parcial);
        return fallar(motivo);
    }
    if (!fallo.isEmpty()) {
        workbook_close(libro);
        QFile::remove(parcial);
        return fallar(fallo);
    }
    if (consulta.lastError().isValid()) {
        workbook_close(libro);
        QFile::remove(parcial);
        return fallar(DescribirError(consulta.lastError()));
    }

    for (lxw_worksheet *h : hojas) {
        for (lxw_col_t c = 0; c < lxw_col_t(columnas.size()); ++c)
            worksheet_set_column(h, c, c, std::min(kAnchoMaximo, double(anchos[c]) + 2),
                                 formatos[c]);
        worksheet_set_selection(h, 0, 0, 0, 0);
    }
    // The last step, packing the workbook, may be long too.
    if (!Avances::Seguir(avance, escritas, total)) return cancelar();
    errno = 0;
    if (const lxw_error e = workbook_close(libro); e != LXW_NO_ERROR) {
        const int codigo = errno;
        QFile::remove(parcial);
        // Writing the archive is where a full disk shows: said as every writer says it.
        // errno may have been lost on the way: the free space tells then.
        const int causa = Causas::DiscoLleno(ruta, codigo) ? codigo : 0;
        if (e != LXW_ERROR_CREATING_TMPFILE && e != LXW_ERROR_MEMORY_MALLOC_FAILED &&
            Causas::DiscoLleno(ruta, causa)) {
            if (error) *error = Causas::AlEscribir(ruta, causa);
            return false;
        }
        return fallar(Causa(e));
    }
    const int tras = errno;
    if (!Completo(parcial, int(hojas.size()))) {
        QFile::remove(parcial);
        // Most likely the temporary folder's disk, which libxlsxwriter does not check.
        const QString temporal = QDir::tempPath();
        if (error && (Causas::DiscoLleno(temporal, tras) || Causas::DiscoLleno(temporal, 0)))
            *error = QStringLiteral("El disco está lleno: no se ha podido escribir la hoja de "
                                    "cálculo %1, que se prepara en la carpeta temporal %2.")
                         .arg(QDir::toNativeSeparators(ruta), QDir::toNativeSeparators(temporal));
        else if (error)
            *error = Causas::AlEscribir(ruta, 0);
        return false;
    }
    // Renamed over the old file in one step: it stays as it was until the new one is whole.
    if (std::rename(QFile::encodeName(parcial).constData(), QFile::encodeName(ruta).constData()) !=
        0) {
        const int codigo = errno;
        QFile::remove(parcial);
        return fallar(QStringLiteral("el archivo existente no se puede reemplazar (%1).")
                          .arg(Causas::DeErrno(codigo)));
    }
    if (numeroHojas) *numeroHojas = int(hojas.size());
    return true;
}
