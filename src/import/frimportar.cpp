#include "frimportar.h"

#include "gui/ChoiceService.h"
#include "gui/MessageService.h"
#include "gui/ModBaseDatosGui.h"
#include "gui/Progreso.h"
#include "gui/Screen.h"
#include "gui/SpeciesFinder.h"
#include "gui/UnsavedChanges.h"
#include "photos/PhotoStrip.h"
#include "ui_frimportar.h"

#include <QAbstractTableModel>
#include <QBrush>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTimer>

namespace {

const QString kTitulo = QStringLiteral("Importar observaciones");
constexpr int kOpciones = Qt::UserRole + 1; // the choices a cell offers

// A cell chosen from a list: the municipality among the candidates.
class ListDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget *createEditor(QWidget *padre, const QStyleOptionViewItem &,
                          const QModelIndex &indice) const override {
        auto *lista = new QComboBox(padre);
        lista->setObjectName(QStringLiteral("Cblista"));
        lista->addItems(indice.data(kOpciones).toStringList());
        // A choice made is a choice stored: no further key needed.
        connect(lista, &QComboBox::activated, this, [this, lista] {
            auto *self = const_cast<ListDelegate *>(this);
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

// The preview grid's rows, read from the rows of the import as they are drawn: a file of
// hundreds of thousands of records holds no copy of its texts in the grid.
class ImportPreviewModel : public QAbstractTableModel {
public:
    ImportPreviewModel(QObject *padre, const QList<ImportStore::Fila> &filas, ImportStore &store,
                       std::function<void(int, int)> alCambiar)
        : QAbstractTableModel(padre), filas_(filas), store_(store),
          alCambiar_(std::move(alCambiar)) {}

    QStringList cabeceras, especies;

    // After the rows changed: everything is read again.
    void Recargar() {
        beginResetModel();
        etiquetas_.clear();
        for (const QString &e : std::as_const(especies))
            etiquetas_.insert(e.section(QStringLiteral(" - "), 0, 0), e);
        endResetModel();
    }

    int rowCount(const QModelIndex &padre = {}) const override {
        return padre.isValid() ? 0 : int(filas_.size());
    }
    int columnCount(const QModelIndex &padre = {}) const override {
        return padre.isValid() ? 0 : frimportar::NumColumnas;
    }
    QVariant headerData(int seccion, Qt::Orientation o, int rol) const override {
        if (o == Qt::Horizontal && rol == Qt::DisplayRole) return cabeceras.value(seccion);
        return QAbstractTableModel::headerData(seccion, o, rol);
    }

    Qt::ItemFlags flags(const QModelIndex &i) const override {
        if (!i.isValid() || i.row() >= filas_.size()) return Qt::NoItemFlags;
        const ImportStore::Fila &f = filas_[i.row()];
        using E = ImportStore::Estado;
        const Qt::ItemFlags fijo = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        switch (i.column()) {
        case frimportar::ColMarca:
            return f.estado == E::Nueva ? Qt::ItemIsEnabled | Qt::ItemIsUserCheckable
                                        : Qt::NoItemFlags;
        case frimportar::ColEspecie:
            return f.estado != E::SinFecha && f.estado != E::SinPosicion &&
                           f.estado != E::FueraDeEspana && f.estado != E::TextoLargo
                       ? fijo | Qt::ItemIsEditable
                       : fijo;
        case frimportar::ColMunicipio:
            return f.candidatos.size() > 1 || (f.candidatos.size() == 1 && f.muni == 0)
                       ? fijo | Qt::ItemIsEditable
                       : fijo;
        default:
            return fijo;
        }
    }

    QVariant data(const QModelIndex &i, int rol) const override {
        if (!i.isValid() || i.row() >= filas_.size()) return {};
        const ImportStore::Fila &f = filas_[i.row()];
        const Import::Record &r = f.registro;
        const int c = i.column();
        if (rol == Qt::CheckStateRole)
            return c == frimportar::ColMarca ? QVariant(f.marcada ? Qt::Checked : Qt::Unchecked)
                                             : QVariant();
        if (rol == Qt::ForegroundRole) {
            if ((c == frimportar::ColEspecie && f.especie.isEmpty()) ||
                (c == frimportar::ColMunicipio && !f.muni && !f.candidatos.isEmpty()))
                return QBrush(Qt::red);
            return {};
        }
        if (rol == kOpciones) {
            if (c == frimportar::ColEspecie) return especies;
            if (c != frimportar::ColMunicipio) return {};
            QStringList candidatos;
            for (int id : f.candidatos)
                candidatos << store_.NombreMunicipio(id);
            return candidatos;
        }
        if (rol != Qt::DisplayRole && rol != Qt::EditRole) return {};
        const bool situada = f.huso != 0;
        switch (c) {
        case frimportar::ColFecha:
            return r.fecha.isValid() ? r.fecha.toString(QStringLiteral("dd/MM/yyyy")) +
                                           (r.hora.isEmpty() ? QString() : u' ' + r.hora)
                                     : QString();
        case frimportar::ColEspecie:
            return f.especie.isEmpty() ? r.especies.value(0)
                                       : etiquetas_.value(f.especie, f.especie);
        case frimportar::ColNumero:
            return r.numero.toString();
        case frimportar::ColHuso:
            return situada ? QString::number(f.huso) : QString();
        case frimportar::ColEste:
            return situada ? QString::number(f.este) : QString();
        case frimportar::ColNorte:
            return situada ? QString::number(f.norte) : QString();
        case frimportar::ColIncertidumbre:
            return situada ? r.incertidumbre.toString() : QString();
        case frimportar::ColUtm10:
            return f.utm10k;
        case frimportar::ColUtm1:
            return f.utm1k;
        case frimportar::ColMunicipio: {
            if (f.muni) return store_.NombreMunicipio(f.muni);
            QStringList candidatos;
            for (int id : f.candidatos)
                candidatos << store_.NombreMunicipio(id);
            return candidatos.join(QStringLiteral(" / "));
        }
        case frimportar::ColLocalidad:
            return f.codigoLocalidad.isEmpty()
                       ? (f.nombreLocalidad.isEmpty()
                              ? QString()
                              : QStringLiteral("(nueva) ") + f.nombreLocalidad)
                       : f.codigoLocalidad + QStringLiteral(" - ") + f.nombreLocalidad;
        case frimportar::ColDescripcion:
            return r.descripcion;
        case frimportar::ColEstado:
            return ImportStore::TextoEstado(f.estado);
        default:
            return QString();
        }
    }

    // What the user changes goes to the form, which changes the row and evaluates again.
    bool setData(const QModelIndex &i, const QVariant &valor, int rol) override {
        const bool marca = i.column() == frimportar::ColMarca;
        if (!i.isValid() || !(flags(i) & (Qt::ItemIsEditable | Qt::ItemIsUserCheckable)) ||
            rol != (marca ? Qt::CheckStateRole : Qt::EditRole))
            return false;
        cambio_ = valor;
        alCambiar_(i.row(), i.column());
        return true;
    }
    QVariant cambio() const { return cambio_; }

private:
    const QList<ImportStore::Fila> &filas_;
    ImportStore &store_;
    std::function<void(int, int)> alCambiar_;
    QHash<QString, QString> etiquetas_;
    QVariant cambio_;
};

frimportar::frimportar(QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::frimportar>()),
      store_(std::make_unique<ImportStore>()) {
    ui->setupUi(this);
    modelo_ = new ImportPreviewModel(this, filas_, *store_,
                                     [this](int fila, int col) { DBimport_Change(fila, col); });
    modelo_->cabeceras = {QString(),
                          QStringLiteral("Fecha"),
                          QStringLiteral("Especie"),
                          QStringLiteral("Nº"),
                          QStringLiteral("Huso"),
                          QStringLiteral("Este"),
                          QStringLiteral("Norte"),
                          QStringLiteral("± m"),
                          QStringLiteral("UTM 10 km"),
                          QStringLiteral("UTM 1 km"),
                          QStringLiteral("Municipio"),
                          QStringLiteral("Localidad"),
                          QStringLiteral("Descripción"),
                          QStringLiteral("Estado")};
    ui->DBimport->setModel(modelo_);
    ui->DBimport->setItemDelegateForColumn(ColEspecie, new DelegadoEspecie(ui->DBimport));
    ui->DBimport->setItemDelegateForColumn(ColMunicipio, new ListDelegate(ui->DBimport));
    // The free texts give way, so that the state stays whole at the right end.
    Screen::RepartirColumnas(ui->DBimport,
                             {ColEspecie, ColMunicipio, ColLocalidad, ColDescripcion});
    connect(ui->CdAbrir, &QPushButton::clicked, this, &frimportar::CdAbrir_Click);
    connect(ui->CdFotos, &QPushButton::clicked, this, &frimportar::CdFotos_Click);
    connect(ui->CdCarpetaFotos, &QPushButton::clicked, this, &frimportar::CdCarpetaFotos_Click);
    connect(ui->CdImportar, &QPushButton::clicked, this, &frimportar::CdImportar_Click);
    connect(ui->CdVolver, &QPushButton::clicked, this, &frimportar::CdVolver_Click);
    connect(ui->Cbobs, &QComboBox::currentIndexChanged, this, &frimportar::Cbobs_Click);
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
    modelo_->especies = especies_;
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
    Import::Reading lectura;
    QList<ImportStore::Fila> filas;
    bool preparado = false;
    {
        Screen::RelojArena reloj;
        Progreso progreso(this, QStringLiteral("Leyendo %1...").arg(nombre));
        // Each record becomes a row as it is read: a large file's records are held once.
        bool anadidas = store_->Empezar();
        if (anadidas)
            lectura = Import::LeerArchivo(
                ruta,
                [&](Import::Record &&r) { return anadidas = store_->Anadir(std::move(r), &filas); },
                progreso.avance());
        if (anadidas && lectura.ok) {
            progreso.Texto(QStringLiteral("Preparando la vista previa de %1...").arg(nombre));
            preparado = store_->Terminar(&filas, Observador(), progreso.avance());
        }
        // A lookup that failed while reading is the store's failure, not the file's.
        if (!anadidas) lectura.ok = true;
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
        QStringLiteral("%1 (%2)").arg(nombre, Import::NombreFormato(lectura.formato)));
    CargarGrid();
    // A file just read holds nothing of the user's yet.
    cambios_->Guardado();
}

void frimportar::CdFotos_Click() {
    const MessageService::UserAction accion;
    AbrirFotos(ChoiceService::ArchivosParaAbrir(
        this, kTitulo,
        QStringLiteral("Fotos (*.jpg *.jpeg *.JPG *.JPEG *.png *.PNG *.heic *.HEIC);;Todos los "
                       "archivos (*)")));
}

void frimportar::CdCarpetaFotos_Click() {
    const MessageService::UserAction accion;
    const QString carpeta =
        ChoiceService::Carpeta(this, QStringLiteral("Carpeta de fotos"), QDir::homePath());
    if (!carpeta.isEmpty()) AbrirFotos({carpeta});
}

void frimportar::AbrirFotos(const QStringList &rutas) {
    if (rutas.isEmpty()) return;
    QStringList omitidas;
    Import::Reading lectura;
    QList<ImportStore::Fila> filas;
    bool preparado = false;
    {
        Screen::RelojArena reloj;
        Progreso progreso(this, QStringLiteral("Leyendo las fotos..."));
        lectura = Import::LeerFotos(rutas, &omitidas, progreso.avance());
        if (lectura.ok) {
            progreso.Texto(QStringLiteral("Preparando la vista previa de las fotos..."));
            preparado = store_->Preparar(std::move(lectura.registros), Observador(), &filas,
                                         progreso.avance());
        }
    }
    if (lectura.error == Avances::kCancelado || store_->error() == Avances::kCancelado) {
        store_->Limpiar();
        return;
    }
    if (!preparado) {
        MessageService::MostrarFallo(this, store_->error(), kTitulo);
        return;
    }
    filas_ = std::move(filas);
    archivo_ = rutas.first();
    ui->Lbarchivo->setText(rutas.size() == 1 && QFileInfo(rutas.first()).isDir()
                               ? QStringLiteral("%1 (fotos)").arg(rutas.first())
                               : QStringLiteral("%1 fotos").arg(rutas.size()));
    CargarGrid();
    cambios_->Guardado();
    // Each photo stands for itself: those left out are named with the reason.
    if (!omitidas.isEmpty())
        MessageService::Mostrar(
            this, QStringLiteral("Fotos que no se pueden importar:\n\n") + omitidas.join(u'\n'),
            kTitulo, QMessageBox::Information);
}

void frimportar::CargarGrid() {
    Screen::RelojArena reloj;
    cargando_ = true;
    modelo_->Recargar();
    int nuevas = 0, duplicadas = 0, otras = 0;
    // What the user may change in the grid, summed up for the watch over unsaved changes:
    // reading every cell of a large file would hold a copy of all its texts.
    QCryptographicHash resumen(QCryptographicHash::Sha1);
    for (const ImportStore::Fila &f : std::as_const(filas_)) {
        if (f.estado == ImportStore::Estado::Nueva)
            ++nuevas;
        else if (f.estado == ImportStore::Estado::Duplicada)
            ++duplicadas;
        else
            ++otras;
        resumen.addData(
            QStringLiteral("%1|%2|%3;").arg(f.marcada).arg(f.especie).arg(f.muni).toUtf8());
    }
    ui->DBimport->setProperty("resumenCambios", QString::fromLatin1(resumen.result().toHex()));
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

void frimportar::DBimport_Change(int fila, int columna) {
    if (cargando_ || fila >= filas_.size()) return;
    ImportStore::Fila &f = filas_[fila];
    const QVariant valor = modelo_->cambio();
    switch (columna) {
    case ColMarca:
        f.marcada = valor.toInt() == Qt::Checked;
        break;
    case ColEspecie:
        f.especie = valor.toString().section(QStringLiteral(" - "), 0, 0).trimmed();
        break;
    case ColMunicipio: {
        const QStringList opciones = modelo_->index(fila, columna).data(kOpciones).toStringList();
        const qsizetype i = opciones.indexOf(valor.toString());
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
        r = store_->Guardar(&filas_, Observador(), progreso.avance(),
                            PhotoStrip::OpcionesActuales());
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
            .arg(Contar(r->observaciones, "observación", "observaciones") +
                     (r->fotos > 0
                          ? QStringLiteral(" con %1").arg(Contar(r->fotos, "foto", "fotos"))
                          : QString()),
                 Contar(r->localidades, "localidad nueva", "localidades nuevas"),
                 omitidas.isEmpty() ? QString()
                                    : QStringLiteral(" Filas no importadas: %1.")
                                          .arg(omitidas.join(QStringLiteral("; ")))),
        kTitulo);
}

void frimportar::CdVolver_Click() {
    Screen::CerrarHijo(this);
}
