#include "frverificar.h"

#include "data/Clock.h"
#include "data/ModConex.h"
#include "data/ReferenceData.h"
#include "data/SqlDialect.h"
#include "gui/MessageService.h"
#include "gui/ModBaseDatosGui.h"
#include "gui/Screen.h"
#include "observations/ObservationStore.h"
#include "observers/ObserverStore.h"
#include "photos/PhotoStore.h"
#include "ui_frverificar.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QSet>

namespace {
const QString kTitulo = QStringLiteral("Verificación de observaciones");

using Estado = VerificationStore::Estado;

// The filter's statuses, in the list's order; the last one lists every status.
const QList<std::pair<QString, std::optional<Estado>>> &Estados() {
    static const QList<std::pair<QString, std::optional<Estado>>> estados = {
        {QStringLiteral("Sin verificar"), Estado::Ninguno},
        {QStringLiteral("Aceptadas"), Estado::Aceptada},
        {QStringLiteral("Dudosas"), Estado::Dudosa},
        {QStringLiteral("Rechazadas"), Estado::Rechazada},
        {QStringLiteral("Todas"), std::nullopt}};
    return estados;
}

// "aceptadas", "la observación ... como dudosa": the status as the messages say it.
QString Como(Estado estado, bool varias) {
    const QString t = VerificationStore::Texto(estado);
    return varias ? t + u's' : t;
}
} // namespace

// The grid's rows read from the listed records themselves: a long list costs no item per cell.
class VerificationModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void Poner(QList<VerificationStore::Registro> registros) {
        beginResetModel();
        registros_ = std::move(registros);
        endResetModel();
    }
    const QList<VerificationStore::Registro> &Registros() const { return registros_; }

    int rowCount(const QModelIndex &padre = {}) const override {
        return padre.isValid() ? 0 : int(registros_.size());
    }
    int columnCount(const QModelIndex &padre = {}) const override {
        return padre.isValid() ? 0 : frverificar::NumColumnas;
    }
    QVariant data(const QModelIndex &i, int rol) const override {
        if (!i.isValid() || i.row() >= registros_.size()) return {};
        const VerificationStore::Registro &g = registros_[i.row()];
        // The identifier rides on every cell, so that any chosen index names its record.
        if (rol == Qt::UserRole) return g.id;
        if (rol != Qt::DisplayRole && rol != Qt::ToolTipRole) return {};
        switch (i.column()) {
        case frverificar::ColFecha:
            return g.fecha.toString(QStringLiteral("dd/MM/yyyy"));
        case frverificar::ColEspecie:
            return g.especie;
        case frverificar::ColLocalidad:
            return g.localidad;
        case frverificar::ColProvincia:
            return g.provincia;
        case frverificar::ColObservadores:
            return g.observadores.join(QStringLiteral(", "));
        case frverificar::ColEjemplares:
            return g.numejemp.isNull() ? QString() : g.numejemp.toString();
        case frverificar::ColEstado:
            return VerificationStore::Texto(g.estado);
        case frverificar::ColVerificador:
            return g.verificador;
        case frverificar::ColAvisos:
            return g.avisos.join(QStringLiteral("; "));
        default:
            return {};
        }
    }
    QVariant headerData(int seccion, Qt::Orientation orientacion, int rol) const override {
        static const QStringList titulos = {
            QStringLiteral("Fecha"),        QStringLiteral("Especie"),
            QStringLiteral("Localidad"),    QStringLiteral("Provincia"),
            QStringLiteral("Observadores"), QStringLiteral("Ejemplares"),
            QStringLiteral("Estado"),       QStringLiteral("Verificador"),
            QStringLiteral("Avisos")};
        if (orientacion == Qt::Horizontal && rol == Qt::DisplayRole) return titulos.value(seccion);
        return QAbstractTableModel::headerData(seccion, orientacion, rol);
    }

private:
    QList<VerificationStore::Registro> registros_;
};

frverificar::frverificar(QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::frverificar>()) {
    ui->setupUi(this);
    Dtverificar = new VerificationModel(this);
    Dtverificar->setObjectName(QStringLiteral("Dtverificar"));
    ui->DBverificar->setModel(Dtverificar);
    Screen::RepartirColumnas(ui->DBverificar, {ColEspecie, ColLocalidad, ColAvisos});
    ui->DBverificar->installEventFilter(this);
    for (QComboBox *filtro : {ui->Cbestado, ui->Cbespecie, ui->Cbobservador, ui->Cbprovincia})
        ModBaseDatos::AlElegir(filtro, [this] { Filtro_Change(); });
    connect(ui->ChAvisos, &QCheckBox::toggled, this, &frverificar::Filtro_Change);
    connect(ui->DBverificar->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &frverificar::DBverificar_RowColChange);
    connect(ui->DBverificar->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &frverificar::MostrarFicha);
    connect(ui->CdAceptar, &QPushButton::clicked, this, &frverificar::CdAceptar_Click);
    connect(ui->CdDudosa, &QPushButton::clicked, this, &frverificar::CdDudosa_Click);
    connect(ui->CdRechazar, &QPushButton::clicked, this, &frverificar::CdRechazar_Click);
    connect(ui->CdSalir, &QPushButton::clicked, this, &frverificar::CdSalir_Click);
    Form_Load();
}

frverificar::~frverificar() = default;

void frverificar::Form_Load() {
    const MessageService::UserAction accion;
    // The lists are filled and set first; the grid is read once, at the end.
    cargando_ = true;
    Screen::RelojArena reloj;
    Screen::AplicarColores(this);
    Screen::Teclado(this, ui->CdSalir);
    QStringList textos;
    for (const auto &e : Estados())
        textos << e.first;
    ModBaseDatos::Rellenar(ui->Cbestado, textos);
    ui->Cbestado->setCurrentIndex(0);

    ObservationStore observaciones;
    ReferenceData ref;
    QStringList especies{QStringLiteral(" ")};
    QVariantList codigos{QString()};
    for (const QString &c : observaciones.EspeciesObservadas()) {
        especies << ref.ItemEspecie(c).value_or(c);
        codigos << c;
    }
    ModBaseDatos::InformarError(this, observaciones);
    ModBaseDatos::Rellenar(ui->Cbespecie, especies, codigos);
    ModBaseDatos::Rellenar(ui->Cbprovincia, QStringList{QStringLiteral(" ")} + ref.Provincias());
    ModBaseDatos::InformarError(this, ref);
    ObserverStore observadores;
    QStringList obs;
    QSqlQuery q = observadores.Buscar(QString(), QString());
    while (q.next())
        obs << q.value(0).toString();
    ModBaseDatos::InformarError(this, observadores);
    ModBaseDatos::Rellenar(ui->Cbobservador, QStringList{QStringLiteral(" ")} + obs);
    ModBaseDatos::Rellenar(ui->Cbverificador, obs);
    // Who verifies is the default observer until another is chosen.
    ui->Cbverificador->setCurrentIndex(int(obs.indexOf(observadores.CodigoPredeterminado())));
    for (QComboBox *filtro : {ui->Cbespecie, ui->Cbobservador, ui->Cbprovincia})
        filtro->setCurrentIndex(0);

    VerificationStore verificaciones;
    puede_ = verificaciones.PuedeVerificar().value_or(false);
    ModBaseDatos::InformarError(this, verificaciones);
    ui->Lbpermiso->setVisible(!puede_);
    if (!puede_)
        ui->Lbpermiso->setText(QStringLiteral("Sólo los miembros del rol %1 del servidor pueden "
                                              "verificar observaciones: puede ver los avisos, "
                                              "pero no cambiar el estado.")
                                   .arg(QLatin1String(SqlDialect::kRolVerificador)));
    cargando_ = false;
    CargarGrid();
}

void frverificar::Filtro_Change() {
    if (cargando_) return;
    hecho_.clear();
    CargarGrid();
}

void frverificar::CargarGrid() {
    Screen::RelojArena reloj;
    // The rows chosen stay chosen while listed, so that a failed action can be tried again.
    const QList<int> lista = Elegidas();
    const QSet<int> elegidas(lista.cbegin(), lista.cend());
    VerificationStore::Filtro filtro;
    filtro.estado = Estados().value(ui->Cbestado->currentIndex()).second;
    filtro.especie = ui->Cbespecie->currentData().toString();
    filtro.observador = ui->Cbobservador->currentText().trimmed();
    filtro.provincia = ui->Cbprovincia->currentText().trimmed();
    filtro.soloAvisos = ui->ChAvisos->isChecked();
    VerificationStore verificaciones;
    const auto registros = verificaciones.Listar(filtro, Clock::Hoy());
    ModBaseDatos::InformarError(this, verificaciones);
    Dtverificar->Poner(registros.value_or(QList<VerificationStore::Registro>()));
    QItemSelection seleccion;
    for (int r = 0; r < Dtverificar->rowCount(); ++r)
        if (elegidas.contains(Dtverificar->Registros()[r].id))
            seleccion.select(Dtverificar->index(r, 0), Dtverificar->index(r, NumColumnas - 1));
    ui->DBverificar->selectionModel()->select(seleccion, QItemSelectionModel::ClearAndSelect);
    QString cuenta = QStringLiteral("Número de Registros : %1").arg(Dtverificar->rowCount());
    if (!hecho_.isEmpty()) cuenta += QStringLiteral(". ") + hecho_;
    ui->Lbcount->setText(cuenta);
    DBverificar_RowColChange();
    MostrarFicha();
}

QList<int> frverificar::Elegidas() const {
    QList<int> ids;
    for (const QModelIndex &i : ui->DBverificar->selectionModel()->selectedRows(0))
        ids << i.data(Qt::UserRole).toInt();
    std::sort(ids.begin(), ids.end());
    return ids;
}

void frverificar::DBverificar_RowColChange() {
    const bool hay = puede_ && !Elegidas().isEmpty();
    for (QPushButton *b : {ui->CdAceptar, ui->CdDudosa, ui->CdRechazar})
        b->setEnabled(hay);
}

void frverificar::MostrarFicha() {
    ui->Lsfotos->clear();
    const QModelIndex actual = ui->DBverificar->currentIndex();
    if (!actual.isValid() || actual.row() >= Dtverificar->rowCount()) {
        ui->Lbdetalle->clear();
        return;
    }
    const VerificationStore::Registro &g = Dtverificar->Registros()[actual.row()];
    QStringList lineas = {
        QStringLiteral("Observación %1, del %2").arg(g.id).arg(g.fecha.toString(u"dd/MM/yyyy")),
        g.especie,
        QStringLiteral("%1 (%2, %3), cuadrado %4")
            .arg(g.localidad, g.municipio, g.provincia, g.utm10k),
        QStringLiteral("Observadores: %1").arg(g.observadores.join(QStringLiteral(", "))),
        QStringLiteral("Ejemplares: %1")
            .arg(g.numejemp.isNull() ? QStringLiteral("-") : g.numejemp.toString())};
    if (g.estado != Estado::Ninguno)
        lineas << QStringLiteral("Estado: %1, por %2 el %3")
                      .arg(VerificationStore::Texto(g.estado), g.verificador, g.cuando);
    if (!g.comentario.isEmpty()) lineas << QStringLiteral("Comentario: %1").arg(g.comentario);
    for (const QString &a : g.avisos)
        lineas << QStringLiteral("Aviso: %1").arg(a);
    ui->Lbdetalle->setText(lineas.join(u'\n'));
    if (g.fotos == 0) return;
    PhotoStore fotos;
    for (const Foto &f : fotos.DeObservacion(g.id)) {
        const QImage imagen = QImage::fromData(fotos.Bytes(f.sha256).value_or(QByteArray()));
        const int lado = ui->Lsfotos->iconSize().width();
        auto *item = new QListWidgetItem(f.nombre, ui->Lsfotos);
        if (!imagen.isNull())
            item->setIcon(QPixmap::fromImage(
                imagen.scaled(lado, lado, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
        item->setToolTip(f.nombre);
    }
    // A missing picture shows its name alone: the verifier still sees the record has one.
    fotos.Limpiar();
}

bool frverificar::eventFilter(QObject *objeto, QEvent *evento) {
    if (objeto == ui->DBverificar && evento->type() == QEvent::KeyPress) {
        const auto *tecla = static_cast<QKeyEvent *>(evento);
        const Qt::KeyboardModifiers mods = tecla->modifiers() & ~Qt::KeypadModifier;
        if (mods == Qt::NoModifier || mods == Qt::ShiftModifier) {
            switch (tecla->key()) {
            case Qt::Key_A:
                Marcar(Estado::Aceptada, true);
                return true;
            case Qt::Key_D:
                Marcar(Estado::Dudosa, true);
                return true;
            case Qt::Key_R:
                Marcar(Estado::Rechazada, true);
                return true;
            default:
                break;
            }
        }
    }
    return QWidget::eventFilter(objeto, evento);
}

void frverificar::Marcar(Estado estado, bool preguntar) {
    const QList<int> ids = Elegidas();
    if (ids.isEmpty() || !puede_) {
        Screen::Pitido();
        return;
    }
    const MessageService::UserAction accion;
    const QString comentario = ui->Txcomentario->text();
    // Told before the question: a rejection without its reason is never asked about.
    if (estado == Estado::Rechazada && comentario.trimmed().isEmpty()) {
        MessageService::Mostrar(this,
                                QStringLiteral("Para rechazar una observación escriba en el "
                                               "comentario por qué."),
                                kTitulo, QMessageBox::Warning);
        ui->Txcomentario->setFocus();
        return;
    }
    const bool varias = ids.size() > 1;
    const QModelIndexList filas = ui->DBverificar->selectionModel()->selectedRows();
    const int primera =
        filas.isEmpty() ? 0 : std::min_element(filas.begin(), filas.end(), [](auto &a, auto &b) {
                                  return a.row() < b.row();
                              })->row();
    if (preguntar) {
        const QString pregunta =
            varias ? QStringLiteral("¿Marcar como %1 las %2 observaciones elegidas?")
                         .arg(Como(estado, true))
                         .arg(ids.size())
                   : QStringLiteral("¿Marcar como %1 la observación con id: %2?")
                         .arg(Como(estado, false))
                         .arg(ids.first());
        if (MessageService::Mostrar(this, pregunta, kTitulo, QMessageBox::Question,
                                    QMessageBox::Yes | QMessageBox::No,
                                    QMessageBox::No) != QMessageBox::Yes)
            return;
    }
    VerificationStore verificaciones;
    bool ok = false;
    {
        Screen::RelojArena reloj;
        ok = verificaciones.Verificar(ids, estado, ui->Cbverificador->currentText(), comentario,
                                      Clock::Ahora());
    }
    if (!ok) {
        MessageService::MostrarFallo(this,
                                     verificaciones.error() +
                                         QStringLiteral("\n\nNo se ha cambiado ninguna "
                                                        "observación."),
                                     kTitulo);
        return;
    }
    hecho_ = varias ? QStringLiteral("%1 observaciones marcadas como %2.")
                          .arg(ids.size())
                          .arg(Como(estado, true))
                    : QStringLiteral("Observación %1 marcada como %2.")
                          .arg(ids.first())
                          .arg(Como(estado, false));
    ui->Txcomentario->clear();
    CargarGrid();
    // The next record waits where the marked ones were, for the keyboard to go on.
    if (!ui->DBverificar->selectionModel()->hasSelection() && Dtverificar->rowCount() > 0)
        ui->DBverificar->setCurrentIndex(
            Dtverificar->index(std::min(primera, Dtverificar->rowCount() - 1), 0));
    ui->DBverificar->setFocus();
}

void frverificar::CdAceptar_Click() {
    Marcar(Estado::Aceptada, false);
}

void frverificar::CdDudosa_Click() {
    Marcar(Estado::Dudosa, false);
}

void frverificar::CdRechazar_Click() {
    Marcar(Estado::Rechazada, false);
}

void frverificar::CdSalir_Click() {
    Screen::CerrarHijo(this);
}
