#include "SpreadsheetWriter.h"

#include "ArchivoComprobado.h"
#include "ColumnTable.h"
#include "ModConex.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <cerrno>
#include <cstdio>
#include <optional>
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
bool Completo(const QString &ruta) {
    int codigo = 0;
    zip_t *z = zip_open(QFile::encodeName(ruta).constData(), ZIP_RDONLY, &codigo);
    if (!z) return false;
    QByteArray final;
    zip_file_t *hoja = zip_fopen(z, "xl/worksheets/sheet1.xml", 0);
    bool leido = hoja != nullptr;
    if (hoja) {
        QByteArray bloque(1 << 16, Qt::Uninitialized);
        zip_int64_t n = 0;
        while ((n = zip_fread(hoja, bloque.data(), zip_uint64_t(bloque.size()))) > 0)
            final = (final + bloque.left(qsizetype(n))).right(64);
        leido = n == 0;
        zip_fclose(hoja);
    }
    zip_discard(z);
    return leido && final.trimmed().endsWith("</worksheet>");
}

// Writes one value in its column's way; returns the text it shows, for the width, or
// nothing when the cell cannot hold it.
std::optional<QString> Escribir(lxw_worksheet *hoja, lxw_row_t fila, lxw_col_t col,
                                const QVariant &v, Column::Formato formato, lxw_format *f) {
    if (formato == Column::Formato::SiNo) {
        const bool si = !v.isNull() && v.toString().trimmed() != QLatin1String("0") &&
                        !v.toString().trimmed().isEmpty();
        worksheet_write_string(hoja, fila, col, si ? "Si" : "No", f);
        return si ? QStringLiteral("Si") : QStringLiteral("No");
    }
    if (v.isNull()) return QString();
    const QString texto = v.toString();
    if (texto.isEmpty()) return texto;
    if (formato == Column::Formato::Fecha) {
        const QDate d = QDate::fromString(texto.left(10), Qt::ISODate);
        if (d.isValid()) {
            lxw_datetime dt = {d.year(), d.month(), d.day(), 0, 0, 0};
            worksheet_write_datetime(hoja, fila, col, &dt, f);
            return d.toString(QStringLiteral("dd/MM/yyyy"));
        }
    } else if (formato == Column::Formato::Entero || formato == Column::Formato::Decimal) {
        bool ok = false;
        const double n = texto.trimmed().toDouble(&ok);
        if (ok) {
            worksheet_write_number(hoja, fila, col, n, f);
            return texto.trimmed();
        }
    }
    // A text, or a value that does not read as its column's kind: shown as stored.
    if (worksheet_write_string(hoja, fila, col, texto.toUtf8().constData(), f) != LXW_NO_ERROR)
        return std::nullopt;
    return texto;
}

} // namespace

bool EscribirHojaCalculo(QSqlQuery &consulta, const ColumnTable &columnas, const QString &ruta,
                         QString *error, const Avance &avance) {
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
    lxw_worksheet *hoja = workbook_add_worksheet(libro, nullptr);

    lxw_format *cabecera = workbook_add_format(libro);
    format_set_bold(cabecera);
    format_set_pattern(cabecera, LXW_PATTERN_SOLID);
    format_set_bg_color(cabecera, 0xC0C0C0); // colour index 15, the light grey
    QList<lxw_format *> formatos;
    QList<qsizetype> anchos;
    for (lxw_col_t c = 0; c < lxw_col_t(columnas.size()); ++c) {
        lxw_format *f = workbook_add_format(libro);
        format_set_num_format(f, FormatoNumero(columnas[c].formato));
        formatos << f;
        worksheet_write_string(hoja, kFilaCabecera, c, columnas[c].cabecera.toUtf8().constData(),
                               cabecera);
        anchos << columnas[c].cabecera.size();
    }

    if (consulta.isSelect() && !consulta.isForwardOnly()) consulta.seek(QSql::BeforeFirstRow);
    const auto cancelar = [&] {
        workbook_close(libro);
        QFile::remove(parcial);
        if (error) *error = Avances::kCancelado;
        return false;
    };
    lxw_row_t fila = kFilaCabecera + 1;
    const qint64 total = consulta.size() > 0 ? consulta.size() : 0;
    while (consulta.next()) {
        if ((fila - kFilaCabecera - 1) % 256 == 0 &&
            !Avances::Seguir(avance, fila - kFilaCabecera - 1, total))
            return cancelar();
        if (fila >= LXW_ROW_MAX) {
            workbook_close(libro);
            QFile::remove(parcial);
            return fallar(QStringLiteral("la consulta tiene más filas de las que caben en una "
                                         "hoja (%1).")
                              .arg(LXW_ROW_MAX - kFilaCabecera - 1));
        }
        for (lxw_col_t c = 0; c < lxw_col_t(columnas.size()); ++c) {
            const auto texto =
                Escribir(hoja, fila, c, consulta.value(int(c)), columnas[c].formato, formatos[c]);
            // A cut text would be a record changed behind the user's back.
            if (!texto) {
                workbook_close(libro);
                QFile::remove(parcial);
                return fallar(QStringLiteral("el valor de %1 en la fila %2 es más largo de lo "
                                             "que cabe en una celda (%3 caracteres).")
                                  .arg(columnas[c].cabecera)
                                  .arg(fila + 1)
                                  .arg(kTextoMaximo));
            }
            anchos[c] = std::max(anchos[c], texto->size());
        }
        ++fila;
    }
    if (consulta.lastError().isValid()) {
        workbook_close(libro);
        QFile::remove(parcial);
        return fallar(DescribirError(consulta.lastError()));
    }

    for (lxw_col_t c = 0; c < lxw_col_t(columnas.size()); ++c)
        worksheet_set_column(hoja, c, c, std::min(kAnchoMaximo, double(anchos[c]) + 2),
                             formatos[c]);
    worksheet_set_selection(hoja, 0, 0, 0, 0);
    // The last step, packing the workbook, may be long too.
    if (!Avances::Seguir(avance, fila - kFilaCabecera - 1, total)) return cancelar();
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
    if (!Completo(parcial)) {
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
    return true;
}
