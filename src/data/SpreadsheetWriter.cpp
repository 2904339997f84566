#include "SpreadsheetWriter.h"

#include "ColumnTable.h"
#include "ModConex.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <optional>
#include <xlsxwriter.h>

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
                         QString *error) {
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
    if (!libro) return fallar(QStringLiteral("no se puede crear el archivo."));
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
    lxw_row_t fila = kFilaCabecera + 1;
    while (consulta.next()) {
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
    if (const lxw_error e = workbook_close(libro); e != LXW_NO_ERROR) {
        QFile::remove(parcial);
        return fallar(QString::fromUtf8(lxw_strerror(e)));
    }
    if (QFileInfo::exists(ruta) && !QFile::remove(ruta)) {
        QFile::remove(parcial);
        return fallar(QStringLiteral("el archivo existente no se puede reemplazar (¿está "
                                     "abierto en otro programa?)."));
    }
    if (!QFile::rename(parcial, ruta)) {
        QFile::remove(parcial);
        return fallar(QStringLiteral("no se puede dar nombre al archivo."));
    }
    return true;
}
