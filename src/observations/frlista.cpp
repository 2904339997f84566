#include "frlista.h"

#include "data/Clock.h"
#include "data/ModBaseDatos.h"
#include "data/ReferenceData.h"
#include "gui/MessageService.h"
#include "gui/ModBaseDatosGui.h"
#include "gui/Screen.h"
#include "gui/SpeciesFinder.h"
#include "gui/TitleImage.h"
#include "gui/UnsavedChanges.h"
#include "localities/frcodloc.h"
#include "observations/ObservationForm.h"
#include "observations/ObservationStore.h"
#include "ui_frlista.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QSet>
#include <QTableWidgetItem>

using ModBaseDatos::EsItem;

struct frlista::Fila {
    QComboBox *especie = nullptr;
    QLineEdit *numero = nullptr;
    QCheckBox *aprox = nullptr;
    QComboBox *estadio = nullptr, *conducta = nullptr;
    QLineEdit *desc = nullptr;
    SpeciesFinder *buscador = nullptr;
    QString clase; // stages and behaviours are those of the species' class
    int id = 0;    // names the row's controls

    bool Vacia() const {
        return especie->currentText().trimmed().isEmpty() && numero->text().isEmpty() &&
               !aprox->isChecked() && estadio->currentText().isEmpty() &&
               conducta->currentText().isEmpty() && desc->text().isEmpty();
    }
    QString Codigo() const { return especie->currentText().section(u'-', 0, 0).trimmed(); }
};

namespace {

// Tab or Enter in the last cell of a row.
class FinDeFilaFiltro : public QObject {
public:
    FinDeFilaFiltro(QObject *padre, std::function<bool()> alFinal)
        : QObject(padre), alFinal_(std::move(alFinal)) {}
    bool eventFilter(QObject *, QEvent *e) override {
        if (e->type() != QEvent::KeyPress) return false;
        const auto *k = static_cast<QKeyEvent *>(e);
        if (k->modifiers() & ~Qt::KeyboardModifiers(Qt::KeypadModifier)) return false;
        if (k->key() != Qt::Key_Tab && k->key() != Qt::Key_Return && k->key() != Qt::Key_Enter)
            return false;
        return alFinal_();
    }

private:
    std::function<bool()> alFinal_;
};

QStringList ConBlanco(const QStringList &items) {
    return QStringList{QString()} + items;
}

} // namespace

frlista::frlista(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::frlista>()) {
    ui->setupUi(this);
    obs = new ObservationForm(ObservationForm::ControlesCabecera(this, ui.get()),
                              ObservationForm::Opciones{});
    ui->Image1->setPixmap(TitleImage().scaledToHeight(48, Qt::SmoothTransformation));
    ui->DBlista->setColumnCount(7);
    ui->DBlista->setHorizontalHeaderLabels(
        {QStringLiteral("Especie"), QStringLiteral("Número"), QStringLiteral("Aprox."),
         QStringLiteral("Estadio"), QStringLiteral("Conducta"), QStringLiteral("Descripción"),
         QStringLiteral("Aviso")});
    // The rows' own controls take the focus, in the order of the cells.
    ui->DBlista->setFocusPolicy(Qt::NoFocus);
    // The species and the description take the room; the count, the box and the lists a
    // width of their own, which the user may change.
    QHeaderView *cabecera = ui->DBlista->horizontalHeader();
    cabecera->setSectionResizeMode(QHeaderView::Interactive);
    cabecera->setSectionResizeMode(ColEspecie, QHeaderView::Stretch);
    cabecera->setSectionResizeMode(ColDesc, QHeaderView::Stretch);
    cabecera->setSectionResizeMode(ColAviso, QHeaderView::ResizeToContents);
    const int letra = fontMetrics().averageCharWidth();
    for (const auto &[columna, letras] :
         {std::pair{ColNumero, 8}, {ColAprox, 6}, {ColEstadio, 16}, {ColConducta, 16}})
        ui->DBlista->setColumnWidth(columna, letras * letra + 24);

    connect(ui->CdGuardar, &QPushButton::clicked, this, &frlista::CdGuardar_Click);
    connect(ui->CdVolver, &QPushButton::clicked, this, &frlista::CdVolver_Click);
    Form_Load();
    cambios_ = new UnsavedChanges(this);
}

frlista::~frlista() = default;

void frlista::Form_Load() {
    Screen::RelojArena reloj;
    Screen::AplicarColores(this);
    Screen::Teclado(this, ui->CdVolver);
    obs->ProponerFecha(QDate(Clock::Hoy().year(), 1, 1));
    ui->Txhini->setTime(QTime(0, 0));
    ui->Txhfi->setTime(QTime(0, 0));
    if (obs->Cargar()) {
        ReferenceData ref;
        especies_ = ref.Especies();
        ModBaseDatos::InformarError(this, ref);
    }
    NuevaFila();
    ActualizarResumen();
}

void frlista::CdVolver_Click() {
    Screen::CerrarHijo(this);
}

// Rows -------------------------------------------------------------------------------

frlista::Fila *frlista::NuevaFila() {
    auto fila = std::make_unique<Fila>();
    Fila *f = fila.get();
    f->id = int(filas_.size()) + 1;
    const QString n = QString::number(f->id);
    const int r = ui->DBlista->rowCount();
    ui->DBlista->insertRow(r);

    f->especie = new QComboBox;
    f->especie->setObjectName(QStringLiteral("Cbespecie") + n);
    f->especie->setEditable(true);
    f->especie->setInsertPolicy(QComboBox::NoInsert);
    ModBaseDatos::Rellenar(f->especie, especies_);
    ModBaseDatos::HacerCompletable(f->especie);
    f->buscador = new SpeciesFinder(f->especie, nullptr);
    // Without the other names a code still completes; the failure is told once.
    if (QString error; !especies_.isEmpty() && !f->buscador->Cargar(&error) && filas_.empty())
        MessageService::MostrarFallo(this, error);
    f->numero = new QLineEdit;
    f->numero->setObjectName(QStringLiteral("Txexemplars") + n);
    ModBaseDatos::FiltrarDigitos(f->numero);
    // Rows come after the form's fields were limited: a long paste is refused, never cut.
    ModBaseDatos::LimitarLongitud(f->numero, ModBaseDatos::kMaximoTexto);
    f->aprox = new QCheckBox;
    f->aprox->setObjectName(QStringLiteral("Check") + n);
    f->estadio = new QComboBox;
    f->estadio->setObjectName(QStringLiteral("Cbestadio") + n);
    f->conducta = new QComboBox;
    f->conducta->setObjectName(QStringLiteral("Cbconducta") + n);
    f->desc = new QLineEdit;
    f->desc->setObjectName(QStringLiteral("Txdesc") + n);
    ModBaseDatos::LimitarLongitud(f->desc, ModBaseDatos::kMaximoTexto);
    ModBaseDatos::LimitarLongitud(f->especie->lineEdit(), ModBaseDatos::kMaximoTexto);
    CambiarClase(f, QString());

    const QList<QWidget *> celdas = {f->especie, f->numero,   f->aprox,
                                     f->estadio, f->conducta, f->desc};
    for (int c = 0; c < celdas.size(); ++c)
        ui->DBlista->setCellWidget(r, c, celdas[c]);
    auto *aviso = new QTableWidgetItem;
    aviso->setFlags(Qt::ItemIsEnabled);
    aviso->setForeground(Qt::red);
    ui->DBlista->setItem(r, ColAviso, aviso);
    // The cells in order, after the rows before and before the save button.
    QWidget *antes = filas_.empty() ? static_cast<QWidget *>(ui->DBlista) : filas_.back()->desc;
    for (QWidget *w : celdas) {
        QWidget::setTabOrder(antes, w);
        antes = w;
    }
    QWidget::setTabOrder(f->desc, ui->CdGuardar);

    QPointer<QComboBox> especie = f->especie;
    auto deEsta = [this, especie] { return especie ? FilaDe(especie) : nullptr; };
    ModBaseDatos::AlElegir(f->especie, [this, deEsta] {
        if (Fila *e = deEsta()) Especie_Click(e);
    });
    ModBaseDatos::AlPerderFoco(f->especie, [this, deEsta] {
        if (Fila *e = deEsta()) Especie_LostFocus(e);
    });
    f->desc->installEventFilter(new FinDeFilaFiltro(f->desc, [this, deEsta] {
        Fila *e = deEsta();
        return e && FinDeFila(e);
    }));
    connect(f->especie, &QComboBox::currentTextChanged, this, &frlista::ActualizarResumen);
    connect(f->numero, &QLineEdit::textChanged, this, &frlista::ActualizarResumen);
    connect(f->aprox, &QCheckBox::toggled, this, &frlista::ActualizarResumen);
    connect(f->estadio, &QComboBox::currentTextChanged, this, &frlista::ActualizarResumen);
    connect(f->conducta, &QComboBox::currentTextChanged, this, &frlista::ActualizarResumen);
    connect(f->desc, &QLineEdit::textChanged, this, &frlista::ActualizarResumen);
    Screen::AplicarColores(ui->DBlista);

    filas_.push_back(std::move(fila));
    ui->DBlista->scrollToBottom();
    return f;
}

void frlista::VaciarFilas() {
    // The grid deletes them later: the names go now, for the new rows' controls.
    for (const auto &f : filas_)
        for (QWidget *w : std::initializer_list<QWidget *>{f->especie, f->numero, f->aprox,
                                                           f->estadio, f->conducta, f->desc})
            w->setObjectName(QString());
    filas_.clear();
    ui->DBlista->setRowCount(0);
}

frlista::Fila *frlista::FilaDe(const QObject *control) const {
    for (const auto &f : filas_)
        if (f->especie == control) return f.get();
    return nullptr;
}

int frlista::Indice(const Fila *f) const {
    for (size_t i = 0; i < filas_.size(); ++i)
        if (filas_[i].get() == f) return int(i);
    return -1;
}

void frlista::Especie_Click(Fila *f) {
    if (f->especie->currentText().trimmed().isEmpty()) return;
    // A narrow cell shows the code, not the end of the name (not while it is being typed).
    if (!f->especie->hasFocus()) f->especie->lineEdit()->setCursorPosition(0);
    ReferenceData ref;
    const auto especie = ref.BuscarEspecie(f->Codigo());
    if (ModBaseDatos::InformarError(this, ref) || !especie) return;
    CambiarClase(f, especie->clase);
}

void frlista::Especie_LostFocus(Fila *f) {
    const QString texto = f->especie->currentText();
    if (EsItem(f->especie, texto)) f->especie->lineEdit()->setCursorPosition(0);
    if (texto.isEmpty() || EsItem(f->especie, texto)) return;
    if (f->buscador->ElegirExacto()) {
        // Chosen while the focus leaves: the stages and behaviours follow it now.
        Especie_Click(f);
        return;
    }
    ModBaseDatos::Vaciar(f->especie);
    // A text that is no species is never stored, and never dropped without a word.
    if (!texto.trimmed().isEmpty()) SpeciesFinder::Rechazar(this, texto);
}

void frlista::CambiarClase(Fila *f, const QString &clase) {
    if (f->estadio->count() > 0 && clase == f->clase) return;
    f->clase = clase;
    // Stage and behaviour stay chosen when the new class has them too.
    const QString estadio = f->estadio->currentText();
    const QString conducta = f->conducta->currentText();
    ReferenceData ref;
    ModBaseDatos::Rellenar(f->estadio,
                           ConBlanco(clase.isNull() ? ref.Estadios() : ref.Estadios(clase)));
    ModBaseDatos::Rellenar(f->conducta,
                           ConBlanco(clase.isNull() ? ref.Conductas() : ref.Conductas(clase)));
    ModBaseDatos::InformarError(this, ref);
    ModBaseDatos::PonerTexto(f->estadio, EsItem(f->estadio, estadio) ? estadio : QString());
    ModBaseDatos::PonerTexto(f->conducta, EsItem(f->conducta, conducta) ? conducta : QString());
}

bool frlista::FinDeFila(Fila *f) {
    const int i = Indice(f);
    if (i + 1 < int(filas_.size())) {
        ui->DBlista->scrollTo(ui->DBlista->model()->index(i + 1, ColEspecie));
        filas_[i + 1]->especie->setFocus(Qt::TabFocusReason);
        return true;
    }
    // An empty last row lets the focus go on to the save button.
    if (f->Vacia()) return false;
    NuevaFila()->especie->setFocus(Qt::TabFocusReason);
    return true;
}

void frlista::Marcar(Fila *f, const QString &motivo) {
    const int r = Indice(f);
    if (QTableWidgetItem *aviso = ui->DBlista->item(r, ColAviso)) {
        aviso->setText(motivo);
        aviso->setToolTip(motivo);
    }
}

void frlista::ActualizarResumen() {
    // Only rows that hold something are the user's work.
    QStringList resumen;
    for (const auto &f : filas_)
        if (!f->Vacia())
            resumen << QStringList{f->especie->currentText(),
                                   f->numero->text(),
                                   QString::number(f->aprox->isChecked()),
                                   f->estadio->currentText(),
                                   f->conducta->currentText(),
                                   f->desc->text()}
                           .join(u'\x1f');
    ui->DBlista->setProperty("resumenCambios", resumen.join(u'\x1e'));
}

// Saving -----------------------------------------------------------------------------

void frlista::CdGuardar_Click() {
    const MessageService::UserAction accion;
    ui->lugar->Guardando();
    GuardarLista();
}

std::optional<Observacion> frlista::LeerFila(Fila *f, const Observacion &cabecera,
                                             QString *motivo) {
    const QString texto = f->especie->currentText();
    if (texto.trimmed().isEmpty() || !EsItem(f->especie, texto)) {
        *motivo = QStringLiteral("El campo Especie es obligatorio.");
        return std::nullopt;
    }
    const QString ejemplares = f->numero->text();
    if (const QString mal = ObservationForm::EjemplaresIncorrectos(ejemplares); !mal.isEmpty()) {
        *motivo = mal;
        return std::nullopt;
    }
    Observacion o = cabecera;
    o.especie = f->Codigo();
    o.numejemp = ejemplares.isEmpty() ? QVariant() : QVariant(ejemplares.toLongLong());
    o.numaprox = f->aprox->isChecked();
    ReferenceData ref;
    o.estadio = f->estadio->currentText().isEmpty()
                    ? 0
                    : ref.IdEstadio(f->estadio->currentText(), f->clase).value_or(0);
    o.conducta = f->conducta->currentText().isEmpty()
                     ? 0
                     : ref.IdConducta(f->conducta->currentText(), f->clase).value_or(0);
    if (ref.fallo()) {
        *motivo = ref.error();
        return std::nullopt;
    }
    o.descripcion = QString(f->desc->text()).replace(u'\'', u'´');
    return o;
}

bool frlista::RegistrarRepetidas(const QList<Observacion> &lista, const QList<Fila *> &filas,
                                 bool consultar) {
    ObservationStore observaciones;
    std::optional<QList<bool>> guardadas = QList<bool>(lista.size(), false);
    if (consultar) guardadas = observaciones.ExistenIguales(lista);
    if (ModBaseDatos::InformarError(this, observaciones) || !guardadas) return false;
    QStringList repetidas;
    QSet<QString> vistas;
    for (qsizetype i = 0; i < lista.size(); ++i) {
        // The same record typed twice in the list is asked about as a stored one is.
        const QString clave = QStringLiteral("%1|%2|%3")
                                  .arg(lista[i].especie)
                                  .arg(lista[i].estadio)
                                  .arg(lista[i].conducta);
        const bool igual = vistas.contains(clave) || guardadas->at(i);
        vistas.insert(clave);
        if (igual)
            repetidas << QStringLiteral("fila %1: %2")
                             .arg(Indice(filas[i]) + 1)
                             .arg(filas[i]->especie->currentText());
    }
    if (repetidas.isEmpty()) return true;
    return MessageService::Mostrar(
               this,
               QStringLiteral("Ya existen observaciones de estas especies, estadios y conductas "
                              "en esta localidad y fecha con el mismo observador:\n%1\n"
                              "¿Registrarlas igualmente?")
                   .arg(repetidas.join(u'\n')),
               QStringLiteral("Observación repetida"), QMessageBox::Question,
               QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

void frlista::GuardarLista() {
    for (const auto &f : filas_)
        Marcar(f.get(), QString());
    // The user reads a refusal and the form as it is, and saves again when ready.
    if (!obs->ObservadoresComprobados()) return;
    if (const QString falta = obs->CampoQueFalta(); !falta.isEmpty()) {
        MessageService::Mostrar(this, QStringLiteral("El campo %1 es obligatorio.").arg(falta),
                                QStringLiteral("Datos incompletos"), QMessageBox::Warning);
        return;
    }
    std::optional<Observacion> cabecera = obs->Leer();
    if (!cabecera) return;

    QList<Observacion> lista;
    QList<Fila *> guardadas;
    Fila *primeraMal = nullptr;
    int rechazadas = 0;
    for (const auto &f : filas_) {
        if (f->Vacia()) continue;
        QString motivo;
        const auto o = LeerFila(f.get(), *cabecera, &motivo);
        if (!o) {
            Marcar(f.get(), motivo);
            ++rechazadas;
            if (!primeraMal) primeraMal = f.get();
            continue;
        }
        lista << *o;
        guardadas << f.get();
    }
    if (rechazadas > 0) {
        MessageService::Mostrar(this,
                                QStringLiteral("%1 de las filas de la lista no se pueden "
                                               "registrar: se indica el motivo en cada una. No "
                                               "se ha registrado ninguna observación.")
                                    .arg(rechazadas),
                                QStringLiteral("Datos incorrectos"), QMessageBox::Warning);
        primeraMal->especie->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (lista.isEmpty()) {
        MessageService::Mostrar(this, QStringLiteral("El campo Especie es obligatorio."),
                                QStringLiteral("Datos incompletos"), QMessageBox::Warning);
        filas_.front()->especie->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (!obs->FechaConfirmada() || !obs->MunicipioConfirmado()) return;

    ObservationStore observaciones;
    const int numero = observaciones.SiguienteNumero();
    if (ModBaseDatos::InformarError(this, observaciones)) return;
    std::optional<Localidad> localidad;
    const ObservationStore::CodigoPropuesto propuesto{cabecera->observador[0], numero};
    if (obs->EsLocalidadNueva()) {
        const auto aceptado =
            frcodloc::Preguntar(this, cabecera->observador[0] + QString::number(numero));
        if (!aceptado) return; // the prompt was closed: nothing is stored
        localidad = obs->LocalidadNueva();
        localidad->codigo = *aceptado;
        for (Observacion &o : lista)
            o.localidad = *aceptado;
    }
    // Records typed before, and rows repeating another, are asked about once for all; a new
    // locality holds no stored observation yet.
    if (!RegistrarRepetidas(lista, guardadas, !localidad)) return;
    {
        Screen::RelojArena reloj;
        if (!observaciones.GuardarVarias(lista, localidad, propuesto)) {
            if (const int i = observaciones.filaRechazada(); i >= 0)
                Marcar(guardadas[i], observaciones.error());
            MessageService::MostrarFallo(
                this, QStringLiteral("No se ha registrado ninguna observación de la lista: %1")
                          .arg(observaciones.error()));
            return;
        }
    }
    if (localidad) {
        ObservationForm::CodigoGuardado(this, observaciones, *localidad);
        obs->setCodigoLocalidad(localidad->codigo);
    }
    MessageService::Mostrar(
        this,
        QStringLiteral("Se han registrado %1 observaciones en la base de datos").arg(lista.size()));
    // The header stays for the next visit of the day; the species start again.
    const QString nombre = localidad ? localidad->nombre : ui->Cbloc->currentText();
    obs->CargarLocalidades();
    // The name as stored, so that the next save finds the locality instead of a new one.
    obs->ElegirLocalidad(nombre);
    VaciarFilas();
    NuevaFila()->especie->setFocus(Qt::OtherFocusReason);
    ActualizarResumen();
    cambios_->Guardado();
}
