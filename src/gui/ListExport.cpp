#include "gui/ListExport.h"

#include "data/ColumnTable.h"
#include "data/ModBaseDatos.h"
#include "data/ModConex.h"
#include "data/SpreadsheetWriter.h"
#include "gui/ChoiceService.h"
#include "gui/MessageService.h"
#include "gui/Progreso.h"
#include "gui/Screen.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QUrl>

bool ModBaseDatos::CrearArchivoTexto(QSqlQuery *consulta, const QString &ruta, bool cabecera,
                                     const QString &separador, QWidget *padre, int *sustituidos) {
    QString error;
    if (EscribirArchivoTexto(consulta, ruta, cabecera, separador, &error, sustituidos)) return true;
    MessageService::Mostrar(padre, error, QStringLiteral("Crear archivo de texto"),
                            QMessageBox::Warning);
    return false;
}

void ModBaseDatos::CrearHojaCalculo(QWidget *padre, const QString &nombre,
                                    const ColumnTable &columnas,
                                    const std::function<QSqlQuery()> &leer) {
    const QString titulo = QStringLiteral("Exportar a MS Excel");
    const QString propuesto =
        QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
            .filePath(
                QStringLiteral("%1 %2.xlsx")
                    .arg(nombre, QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))));
    QString ruta = ChoiceService::ArchivoParaGuardar(padre, titulo, propuesto,
                                                     QStringLiteral("Libro de Excel (*.xlsx)"));
    if (ruta.isEmpty()) return;
    if (QFileInfo(ruta).suffix().compare(QStringLiteral("xlsx"), Qt::CaseInsensitive) != 0) {
        ruta += QStringLiteral(".xlsx");
        // The dialog asked about the name without the extension, not about this file.
        if (QFileInfo::exists(ruta) &&
            MessageService::Mostrar(padre,
                                    QStringLiteral("El archivo ") + QDir::toNativeSeparators(ruta) +
                                        QStringLiteral(" ya existe. ¿Desea reemplazarlo?"),
                                    titulo, QMessageBox::Question,
                                    QMessageBox::Yes | QMessageBox::No,
                                    QMessageBox::No) != QMessageBox::Yes)
            return;
    }
    QString error;
    bool ok = false;
    int hojas = 1;
    {
        Screen::RelojArena reloj;
        Progreso progreso(padre, QStringLiteral("Guardando la hoja de cálculo..."));
        const ModConex::UnaPasada pasada;
        QSqlQuery consulta = leer();
        ok = EscribirHojaCalculo(consulta, columnas, ruta, &error, progreso.avance(), &hojas);
    }
    // Stopped by the user: nothing was written, and that needs no message.
    if (!ok && error == Avances::kCancelado) return;
    if (!ok) {
        MessageService::Mostrar(padre, error, titulo, QMessageBox::Warning);
        return;
    }
    if (hojas > 1)
        MessageService::Mostrar(padre,
                                QStringLiteral("Las filas no caben en una sola hoja: el libro %1 "
                                               "las tiene repartidas en %2 hojas, todas con la "
                                               "misma cabecera.")
                                    .arg(QDir::toNativeSeparators(ruta))
                                    .arg(hojas),
                                titulo, QMessageBox::Information);
    if (!ChoiceService::Abrir(QUrl::fromLocalFile(ruta)))
        MessageService::Mostrar(padre,
                                QStringLiteral("La hoja de cálculo se ha guardado en %1, pero no "
                                               "hay ningún programa que pueda abrirla.")
                                    .arg(QDir::toNativeSeparators(ruta)),
                                titulo, QMessageBox::Information);
}
