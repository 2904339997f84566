#include "gui/GridLoading.h"

#include "data/ColumnTable.h"
#include "data/Store.h"
#include "gui/ChoiceService.h"
#include "gui/MessageService.h"

#include <QItemSelectionModel>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QTableView>

bool ModBaseDatos::InformarError(QWidget *padre, Store &almacen) {
    if (!almacen.fallo()) return false;
    MessageService::MostrarFallo(padre, almacen.error());
    almacen.Limpiar();
    return true;
}

void ModBaseDatos::CargarRejilla(QTableView *rejilla, QSqlQueryModel *modelo, QSqlQuery consulta,
                                 const ColumnTable &columnas, QString actual) {
    if (consulta.isActive()) {
        modelo->setQuery(std::move(consulta));
        while (modelo->canFetchMore())
            modelo->fetchMore();
    } else {
        modelo->clear();
    }
    const QStringList titulos = columnas.Titulos();
    for (int i = 0; i < titulos.size() && i < modelo->columnCount(); ++i)
        modelo->setHeaderData(i, Qt::Horizontal, titulos[i]);
    int fila = -1;
    for (int r = 0; !actual.isEmpty() && r < modelo->rowCount() && fila < 0; ++r)
        if (modelo->index(r, 0).data().toString() == actual) fila = r;
    if (fila >= 0)
        rejilla->setCurrentIndex(modelo->index(fila, 0));
    else
        rejilla->selectionModel()->clear();
}

ModConex::Resultado ModBaseDatos::Conectar(QWidget *padre) {
    ModConex::Resultado ok = ModConex::Conectar();
    while (!ok && ModConex::EsServidor() && ok.faltaContrasena) {
        ModConex::Servidor s = *ModConex::ServidorActual();
        const auto contrasena = ChoiceService::Contrasena(
            padre, QStringLiteral("%1 en el servidor %2").arg(s.usuario, s.Descripcion()));
        if (!contrasena) break;
        s.contrasena = *contrasena;
        ModConex::setServidor(s);
        ok = ModConex::Conectar();
    }
    return ok;
}
