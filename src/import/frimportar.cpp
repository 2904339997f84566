#include "frimportar.h"

#include "gui/ChoiceService.h"
#include "gui/MessageService.h"
#include "gui/ModBaseDatosGui.h"
#include "gui/Progreso.h"
#include "gui/Screen.h"
#include "gui/SpeciesFinder.h"
#include "gui/UnsavedChanges.h"
#include "ui_frimportar.h"

#include <QComboBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTimer>

namespace {

const QString kTitulo = QStringLiteral("Importar observaciones");
constexpr int kOpciones = Qt::UserRole + 1; // the choices a cell offers

// A cell chosen from a list: the municipality among the candidates.
class DelegadoLista : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget *createEditor(QWidget *padre, const QStyleOptionViewItem &,
                          const QModelIndex &indice) const override {
        auto *lista = new QComboBox(padre);
        lista->setObjectName(QStringLiteral("Cblista"));
        lista->addItems(indice.data(kOpciones).toStringList());
        // A choice made is a choice stored: no further key needed.
        connect(lista, &QComboBox::activated, this, [this, lista] {
            auto *self = const_cast<DelegadoLista *>(this);
            emit self->commitData(lista);
            emit self->closeEditor(lista);
        });
        return lista;
    }
    void setEditorData(QWidget *editor, const QModelIndex &indice) const override {
        auto *lista = static_cast<QComboBox *>(editor);
        lista->setCurrentIndex(lista->findText(indice.data().toString()));
    }
    void setModelData(QWidget *editor, QAbstractItemModel *modelo,
                      const QModelIndex &indice) const override {
        const QString texto = static_cast<QComboBox *>(editor)->currentText();
        if (!texto.isEmpty() && texto != indice.data().toString()) modelo->setData(indice, texto);
    }
};

// The species cell: a code typed completes as in the observation forms, any name of a
// species finds it, and a text that is no species is refused aloud, the cell unchanged.
class ListaEspecies : public QComboBox {
public:
    explicit ListaEspecies(QWidget *padre) : QComboBox(padre) {}
    SpeciesFinder *buscador = nullptr;
    bool guardando = false; // the cell is being stored: a choice made meanwhile adds nothing
};

class DelegadoEspecie : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget *createEditor(QWidget *padre, const QStyleOptionViewItem &,
                          const QModelIndex &indice) const override {
        auto *lista = new ListaEspecies(padre);
        lista->setObjectName(QStringLiteral("Cblista"));
        lista->setEditable(true);
        lista->addItems(indice.data(kOpciones).toStringList());
        lista->buscador = new SpeciesFinder(lista, nullptr);
        // Without the names a code still completes; the file's names were matched already.
        lista->buscador->Cargar(nullptr);
        connect(lista, &QComboBox::activated, this, [this, lista] {
            if (lista->guardando) return;
            auto *self = const_cast<DelegadoEspecie *>(this);
            emit self->commitData(lista);
            emit self->closeEditor(lista);
        });
        return lista;
    }
    void setEditorData(QWidget *editor, const QModelIndex &indice) const override {
        auto *lista = static_cast<ListaEspecies *>(editor);
        const QString texto = indice.data().toString();
        const int i = lista->findText(texto, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (i >= 0)
            lista->setCurrentIndex(i);
        else
            ModBaseDatos::Vaciar(lista, texto);
    }
    void setModelData(QWidget *editor, QAbstractItemModel *modelo,
                      const QModelIndex &indice) const override {
        auto *lista = static_cast<ListaEspecies *>(editor);
        const QString texto = lista->currentText();
        const QString antes = indice.data().toString();
        if (texto.trimmed().isEmpty() || texto == antes) return;
        if (!ModBaseDatos::EsItem(lista, texto)) {
            lista->guardando = true;
            const bool hallada = lista->buscador->ElegirExacto();
            lista->guardando = false;
            if (!hallada) {
                // After the edit has ended: a box opened inside it would end it again.
                QPointer<QWidget> rejilla = static_cast<QWidget *>(parent());
                QTimer::singleShot(0, rejilla, [rejilla, texto] {
                    if (rejilla) SpeciesFinder::Rechazar(rejilla->window(), texto);
                });
                return;
            }
        }
        if (lista->currentText() != antes) modelo->setData(indice, lista->currentText());
    }
};

QString Contar(int n, const char *uno, const char *varios) {
    return QStringLiteral("%1 %2").arg(n).arg(QString::fromUtf8(n == 1 ? uno : varios));
}

} // namespace

frimportar::frimportar(QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::frimportar>()),
      store_(std::make_unique<ImportStore>()) {
    ui->setupUi(this);
    ui->DBimport->setColumnCount(NumColumnas);
    ui->DBimport->setHorizontalHeaderLabels(
        {QString(), QStringLiteral("Fecha"), QStringLiteral("Especie"), QStringLiteral("Nº"),
         QStringLiteral("Huso"), QStringLiteral("Este"), QStringLiteral("Norte"),
         QStringLiteral("UTM 10 km"), QStringLiteral("UTM 1 km"), QStringLiteral("Municipio"),
         QStringLiteral("Localidad"), QStringLiteral("Descripción"), QStringLiteral("Estado")});
    ui->DBimport->setItemDelegateForColumn(ColEspecie, new DelegadoEspecie(ui->DBimport));
    ui->DBimport->setItemDelegateForColumn(ColMunicipio, new DelegadoLista(ui->DBimport));
    // The free texts give way, so that the state stays whole at the right end.
    Screen::RepartirColumnas(ui->DBimport,
                             {ColEspecie, ColMunicipio, ColLocalidad, ColDescripcion});
    connect(ui->CdAbrir, &QPushButton::clicked, this, &frimportar::CdAbrir_Click);
    connect(ui->CdImportar, &QPushButton::clicked, this, &frimportar::CdImportar_Click);
    connect(ui->CdVolver, &QPushButton::clicked, this, &frimportar::CdVolver_Click);
    connect(ui->Cbobs, &QComboBox::currentIndexChanged, this, &frimportar::Cbobs_Click);
    connect(ui->DBimport, &QTableWidget::itemChanged, this, &frimportar::DBimport_Change);
    Form_Load();
    cambios_ = new UnsavedChanges(this);
}

frimportar::~frimportar() = default;

void frimportar::Form_Load() {
    Screen::AplicarColores(this);
    Screen::Teclado(this, ui->CdVolver);
    const MessageService::UserAction accion;
    QStringList codigos, nombres;
    cargando_ = true;
    if (!store_->Observadores(&codigos, &nombres))
        MessageService::MostrarFallo(this, store_->error(), kTitulo);
    for (qsizetype i = 0; i < codigos.size(); ++i)
        ui->Cbobs->addItem(nombres[i].isEmpty() ? codigos[i]
                                                : codigos[i] + QStringLiteral(" - ") + nombres[i],
                           codigos[i]);
    cargando_ = false;
    especies_ = store_->Especies();
    if (store_->fallo()) MessageService::MostrarFallo(this, store_->error(), kTitulo);
    CargarGrid();
}

QString frimportar::Observador() const {
    return ui->Cbobs->currentData().toString();
}

void frimportar::CdAbrir_Click() {
    const MessageService::UserAction accion;
    const QString ruta = ChoiceService::ArchivoParaAbrir(
        this, kTitulo,
        QStringLiteral("Observaciones (*.gpx *.csv *.txt *.xlsx);;Todos los archivos (*)"));
    if (ruta.isEmpty()) return;
    const QString nombre = QFileInfo(ruta).fileName();
    Importacion::Lectura lectura;
    QList<ImportStore::Fila> filas;
    bool preparado = false;
    {
        Screen::RelojArena reloj;
        Progreso progreso(this, QStringLiteral("Leyendo %1...").arg(nombre));
        lectura = Importacion::LeerArchivo(ruta, progreso.avance());
        if (lectura.ok) {
            progreso.Texto(QStringLiteral("Preparando la vista previa de %1...").arg(nombre));
            preparado = store_->Preparar(std::move(lectura.registros), Observador(), &filas,
                                         progreso.avance());
        }
    }
    // Cancelled: the preview stays as it was.
    if (lectura.error == Avances::kCancelado || store_->error() == Avances::kCancelado) {
        store_->Limpiar();
        return;
    }
    if (!lectura.ok || !preparado) {
        // Nothing of a file refused stays on offer.
        filas_.clear();
        archivo_.clear();
        CargarGrid();
        if (!lectura.ok)
            MessageService::Mostrar(
                this,
                QStringLiteral("No se puede importar el archivo %1. %2").arg(nombre, lectura.error),
                kTitulo, QMessageBox::Warning);
        else
            MessageService::MostrarFallo(this, store_->error(), kTitulo);
        return;
    }
    filas_ = std::move(filas);
    archivo_ = ruta;
    ui->Lbarchivo->setText(
        QStringLiteral("%1 (%2)").arg(nombre, Importacion::NombreFormato(lectura.formato)));
    CargarGrid();
    // A file just read holds nothing of the user's yet.
    cambios_->Guardado();
}

void frimportar::CargarGrid() {
    Screen::RelojArena reloj;
    cargando_ = true;
    QTableWidget *g = ui->DBimport;
    g->setRowCount(0);
    g->setRowCount(int(filas_.size()));
    int nuevas = 0, duplicadas = 0, otras = 0;
    for (int fila = 0; fila < filas_.size(); ++fila) {
        const ImportStore::Fila &f = filas_[fila];
        const Importacion::Registro &r = f.registro;
        auto poner = [&](int col, const QString &texto, bool editable = false) {
            auto *c = new QTableWidgetItem(texto);
            c->setFlags(editable ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable
                                 : Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            g->setItem(fila, col, c);
            return c;
        };
        auto *marca = poner(ColMarca, QString());
        const bool importable = f.estado == ImportStore::Estado::Nueva;
        marca->setFlags(importable ? Qt::ItemIsEnabled | Qt::ItemIsUserCheckable : Qt::NoItemFlags);
        marca->setCheckState(f.marcada ? Qt::Checked : Qt::Unchecked);
        poner(ColFecha, r.fecha.isValid() ? r.fecha.toString(QStringLiteral("dd/MM/yyyy")) +
                                                (r.hora.isEmpty() ? QString() : u' ' + r.hora)
                                          : QString());
        QString especie;
        for (const QString &e : especies_)
            if (e.startsWith(f.especie + QStringLiteral(" - ")) && !f.especie.isEmpty())
                especie = e;
        if (especie.isEmpty() && !f.especie.isEmpty()) especie = f.especie;
        auto *celdaEspecie = poner(ColEspecie, especie.isEmpty() ? r.especies.value(0) : especie,
                                   f.estado != ImportStore::Estado::SinFecha &&
                                       f.estado != ImportStore::Estado::SinPosicion &&
                                       f.estado != ImportStore::Estado::FueraDeEspana);
        celdaEspecie->setData(kOpciones, especies_);
        if (especie.isEmpty()) celdaEspecie->setForeground(Qt::red);
        poner(ColNumero, r.numero.toString());
        const bool situada = f.huso != 0;
        poner(ColHuso, situada ? QString::number(f.huso) : QString());
        poner(ColEste, situada ? QString::number(f.este) : QString());
        poner(ColNorte, situada ? QString::number(f.norte) : QString());
        poner(ColUtm10, f.utm10k);
        poner(ColUtm1, f.utm1k);
        QStringList candidatos;
        for (int id : f.candidatos)
            candidatos << store_->NombreMunicipio(id);
        auto *muni =
            poner(ColMunicipio,
                  f.muni ? store_->NombreMunicipio(f.muni) : candidatos.join(QStringLiteral(" / ")),
                  f.candidatos.size() > 1 || (f.candidatos.size() == 1 && f.muni == 0));
        muni->setData(kOpciones, candidatos);
        if (!f.muni && !candidatos.isEmpty()) muni->setForeground(Qt::red);
        poner(ColLocalidad,
              f.codigoLocalidad.isEmpty()
                  ? (f.nombreLocalidad.isEmpty() ? QString()
                                                 : QStringLiteral("(nueva) ") + f.nombreLocalidad)
                  : f.codigoLocalidad + QStringLiteral(" - ") + f.nombreLocalidad);
        poner(ColDescripcion, r.descripcion);
        poner(ColEstado, ImportStore::TextoEstado(f.estado));
        if (importable)
            ++nuevas;
        else if (f.estado == ImportStore::Estado::Duplicada)
            ++duplicadas;
        else
            ++otras;
    }
    ui->CdImportar->setEnabled(!filas_.isEmpty());
    ui->Lbresumen->setText(filas_.isEmpty()
                               ? QString()
                               : QStringLiteral("%1: %2, %3, %4 que no se pueden "
                                                "importar.")
                                     .arg(Contar(int(filas_.size()), "fila", "filas"),
                                          Contar(nuevas, "nueva", "nuevas"),
                                          Contar(duplicadas, "duplicada", "duplicadas"))
                                     .arg(otras));
    cargando_ = false;
}

void frimportar::Reevaluar() {
    const MessageService::UserAction accion;
    {
        Screen::RelojArena reloj;
        if (!store_->Evaluar(&filas_, Observador())) {
            MessageService::MostrarFallo(this, store_->error(), kTitulo);
            return;
        }
    }
    // Redrawn after the current edit has finished with its cell.
    QMetaObject::invokeMethod(this, &frimportar::CargarGrid, Qt::QueuedConnection);
}

void frimportar::Cbobs_Click() {
    if (cargando_ || filas_.isEmpty()) return;
    Reevaluar();
}

void frimportar::DBimport_Change(QTableWidgetItem *celda) {
    if (cargando_ || !celda || celda->row() >= filas_.size()) return;
    ImportStore::Fila &f = filas_[celda->row()];
    switch (celda->column()) {
    case ColMarca:
        f.marcada = celda->checkState() == Qt::Checked;
        break;
    case ColEspecie:
        f.especie = celda->text().section(QStringLiteral(" - "), 0, 0).trimmed();
        break;
    case ColMunicipio: {
        const QStringList opciones = celda->data(kOpciones).toStringList();
        const qsizetype i = opciones.indexOf(celda->text());
        if (i < 0) return;
        f.muni = f.candidatos.value(i);
        break;
    }
    default:
        return;
    }
    Reevaluar();
}

void frimportar::CdImportar_Click() {
    const MessageService::UserAction accion;
    int marcadas = 0;
    for (const auto &f : std::as_const(filas_))
        marcadas += f.marcada && f.estado == ImportStore::Estado::Nueva;
    if (marcadas == 0) {
        MessageService::Mostrar(this,
                                QStringLiteral("No hay ninguna fila nueva marcada para importar."),
                                kTitulo, QMessageBox::Information);
        return;
    }
    if (Observador().isEmpty()) {
        MessageService::Mostrar(this, QStringLiteral("Elija el observador de las observaciones."),
                                kTitulo, QMessageBox::Information);
        return;
    }
    std::optional<ImportStore::Resumen> r;
    {
        Screen::RelojArena reloj;
        Progreso progreso(this, QStringLiteral("Guardando las observaciones..."));
        r = store_->Guardar(&filas_, Observador(), progreso.avance());
    }
    if (!r && store_->error() == Avances::kCancelado) {
        store_->Limpiar();
        CargarGrid();
        MessageService::Mostrar(this, Avances::kCancelado, kTitulo, QMessageBox::Information);
        return;
    }
    if (!r) {
        MessageService::MostrarFallo(
            this, QStringLiteral("No se ha importado nada: %1").arg(store_->error()), kTitulo);
        CargarGrid();
        return;
    }
    CargarGrid();
    cambios_->Guardado();
    // Some reasons hold commas themselves: the list is kept apart by semicolons.
    QStringList omitidas;
    for (auto it = r->omitidas.cbegin(); it != r->omitidas.cend(); ++it)
        omitidas << QStringLiteral("%1 %2").arg(it.value()).arg(it.key());
    MessageService::Mostrar(
        this,
        QStringLiteral("Se han guardado %1 y %2.%3")
            .arg(Contar(r->observaciones, "observación", "observaciones"),
                 Contar(r->localidades, "localidad nueva", "localidades nuevas"),
                 omitidas.isEmpty() ? QString()
                                    : QStringLiteral(" Filas no importadas: %1.")
                                          .arg(omitidas.join(QStringLiteral("; ")))),
        kTitulo);
}

void frimportar::CdVolver_Click() {
    Screen::CerrarHijo(this);
}
