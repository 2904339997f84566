#include "frcons.h"

#include "data/PagedQueryModel.h"
#include "data/ReferenceData.h"
#include "data/SpreadsheetWriter.h"
#include "gui/ChoiceService.h"
#include "gui/DateDelegate.h"
#include "gui/DateFilter.h"
#include "gui/FrDate.h"
#include "gui/MessageService.h"
#include "gui/ModBaseDatosGui.h"
#include "gui/Screen.h"
#include "gui/SpeciesFinder.h"
#include "gui/TitleImage.h"
#include "localities/LocalityStore.h"
#include "observations/frmodif.h"
#include "observers/ObserverStore.h"
#include "ui_frcons.h"

#include <QApplication>
#include <QCollator>
#include <QDir>
#include <QHeaderView>
#include <QStandardPaths>
#include <QUrl>

namespace {

// A filter's entries: the blank (no filter) first, then each text once.
QStringList ConBlanco(QStringList items) {
    items.removeDuplicates();
    items.prepend(QStringLiteral(" "));
    return items;
}

// In Spanish alphabetical order (Ávila with the A), for the short lists.
QStringList Ordenada(QStringList items) {
    QCollator orden(QLocale(QLocale::Spanish, QLocale::Spain));
    orden.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(items.begin(), items.end(), orden);
    return items;
}

} // namespace

frcons::frcons(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::frcons>()) {
    ui->setupUi(this);
    DtObs = new PagedQueryModel(this);
    DtObs->setObjectName(QStringLiteral("DtObs"));
    ui->DBObs->setModel(DtObs);
    const QStringList titulos = ObservationStore::ColumnasConsulta().Titulos();
    for (int i = 0; i < titulos.size(); ++i)
        DtObs->setHeaderData(i, Qt::Horizontal, titulos[i]);
    // A page the server no longer gives: the rows shown stay, and the user is told.
    connect(DtObs, &PagedQueryModel::fallo, this,
            [this](const QString &error) { MessageService::MostrarFallo(this, error); });
    Screen::RepartirColumnas(ui->DBObs);
    ui->DBObs->setItemDelegateForColumn(0, new DateDelegate(ui->DBObs));
    ui->Image1->setPixmap(TitleImage().scaledToHeight(40, Qt::SmoothTransformation));
    const QIcon calendario = style()->standardIcon(QStyle::SP_FileDialogDetailedView);
    ui->Cdfini->setIcon(calendario);
    ui->Cdffin->setIcon(calendario);
    for (QLineEdit *campo : {ui->Txdini, ui->Txdfin})
        ModBaseDatos::LimitarLongitud(campo, 10);
    // The observer filter is free text, found anywhere in the names.
    ui->Cbobs->setCompleter(nullptr);
    ui->Cbobs->setInsertPolicy(QComboBox::NoInsert);
    ModBaseDatos::HacerCompletable(ui->Cbesp);
    buscador_ = new SpeciesFinder(ui->Cbesp, ui->Lbsinonimo);
    // A completion taken back leaves no species chosen, and no name beside the list.
    connect(ui->Cbesp, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (i < 0) ui->Lbespecie->clear();
    });

    connect(ui->CdBuscar, &QPushButton::clicked, this, &frcons::CdBuscar_Click);
    connect(ui->DBObs->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &frcons::DBObs_RowColChange);
    connect(ui->DBObs, &QAbstractItemView::doubleClicked, this, &frcons::DBObs_DblClick);
    connect(ui->Cdfini, &QToolButton::clicked, this, &frcons::Cdfini_Click);
    connect(ui->Cdffin, &QToolButton::clicked, this, &frcons::Cdffin_Click);
    ModBaseDatos::AlElegir(ui->cb10k, [this] { cb10k_Click(); });
    ModBaseDatos::AlElegir(ui->Cbesp, [this] { Cbesp_Click(); });
    ModBaseDatos::AlPerderFoco(ui->Cbesp, [this] { Cbesp_LostFocus(); });
    ModBaseDatos::AlPerderFoco(ui->Txdini, [this] { Txdini_LostFocus(); });
    ModBaseDatos::AlPerderFoco(ui->Txdfin, [this] { Txdfin_LostFocus(); });
    connect(ui->Command1, &QPushButton::clicked, this, &frcons::Command1_Click);
    connect(ui->CdSup, &QPushButton::clicked, this, &frcons::CdSup_Click);
    connect(ui->Excel, &QPushButton::clicked, this, &frcons::Excel_Click);
    connect(ui->CdVolver, &QPushButton::clicked, this, &frcons::CdVolver_Click);
    Form_Load();
}

frcons::~frcons() = default;

void frcons::Form_Load() {
    const MessageService::UserAction accion;
    Screen::RelojArena reloj;
    Screen::AplicarColores(this);
    Screen::Teclado(this, ui->CdVolver);
    ObserverStore observadores;
    ModBaseDatos::Rellenar(ui->Cbobs, ConBlanco(Ordenada(observadores.NombresCompletos())));
    ModBaseDatos::InformarError(this, observadores);
    LocalityStore localidades;
    ModBaseDatos::Rellenar(ui->Cbloc, ConBlanco(localidades.Nombres()));
    ModBaseDatos::InformarError(this, localidades);
    CargarProvinciasUTM10(QString());
    ReferenceData ref;
    ModBaseDatos::Rellenar(ui->cb10k, ConBlanco(ref.Cuadrados10k()));
    ModBaseDatos::InformarError(this, ref);
    carregar_especie();
    QFont negrita = ui->DBObs->horizontalHeader()->font();
    negrita.setBold(true);
    ui->DBObs->horizontalHeader()->setFont(negrita);
    CargarGrid(ObservationFilter());
}

void frcons::carregar_especie() {
    ObservationStore observaciones;
    // The species filter keeps what it shows, as the rows it filtered are read again.
    const QString especie = ui->Cbesp->currentText();
    ModBaseDatos::Rellenar(ui->Cbesp, observaciones.EspeciesObservadas());
    ModBaseDatos::InformarError(this, observaciones);
    QString error;
    if (!buscador_->Cargar(&error)) MessageService::MostrarFallo(this, error);
    const QSignalBlocker bloqueo(ui->Cbesp);
    const int i = ui->Cbesp->findText(especie, Qt::MatchExactly | Qt::MatchCaseSensitive);
    ui->Cbesp->setCurrentIndex(i);
    if (i < 0) ui->Cbesp->setEditText(especie);
}

void frcons::CargarProvinciasUTM10(const QString &cuadrado) {
    ReferenceData ref;
    QStringList provincias =
        cuadrado.trimmed().isEmpty() ? ref.Provincias() : ref.ProvinciasDeCuadrado(cuadrado);
    // A refill leaves the province filter empty.
    ModBaseDatos::Rellenar(ui->Cbprov, ConBlanco(Ordenada(provincias)));
    ModBaseDatos::InformarError(this, ref);
}

void frcons::cb10k_Click() {
    CargarProvinciasUTM10(ui->cb10k->currentText());
}

// Query and grid ------------------------------------------------------------------------

void frcons::CdBuscar_Click() {
    const MessageService::UserAction accion;
    // A date typed and never left (Enter, or a shortcut) is checked here.
    if (!ComprobarFecha(ui->Txdini) || !ComprobarFecha(ui->Txdfin)) return;
    // So is a species typed and never left.
    if (const QString especie = ui->Cbesp->currentText();
        !especie.trimmed().isEmpty() && !ModBaseDatos::EsItem(ui->Cbesp, especie)) {
        Cbesp_LostFocus();
        if (!ModBaseDatos::EsItem(ui->Cbesp, ui->Cbesp->currentText())) return;
    }
    ObservationFilter f;
    f.desde = DateFilter::Leer(ui->Txdini->text());
    f.hasta = DateFilter::Leer(ui->Txdfin->text());
    f.observador = ui->Cbobs->currentText();
    f.especie = ui->Cbesp->currentText();
    f.provincia = ui->Cbprov->currentText();
    f.utm10k = ui->cb10k->currentText();
    f.localidad = ui->Cbloc->currentText();
    CargarGrid(f);
}

void frcons::CargarGrid(const ObservationFilter &filtro) {
    Screen::RelojArena reloj;
    const int anterior = idObservacion_;
    ObservationStore observaciones;
    // The count first: a failed search leaves the rows shown as they were.
    const auto total = observaciones.Contar(filtro);
    if (!total || !observaciones.Consultar(DtObs, filtro)) {
        ModBaseDatos::InformarError(this, observaciones);
        return;
    }
    ultimo_ = filtro;
    ui->Lbcount->setText(QStringLiteral("Número de Registros : %1").arg(*total));
    // The observation that was current stays current while among the first rows read;
    // otherwise the first row.
    int fila = DtObs->rowCount() > 0 ? 0 : -1;
    for (int r = 0; anterior != 0 && r < DtObs->rowCount(); ++r)
        if (DtObs->index(r, ObservationStore::ColumnaId()).data().toInt() == anterior) {
            fila = r;
            break;
        }
    if (fila >= 0)
        ui->DBObs->setCurrentIndex(DtObs->index(fila, 0));
    else
        ui->DBObs->selectionModel()->clear();
    DBObs_RowColChange();
}

void frcons::DBObs_RowColChange() {
    const QModelIndex actual = ui->DBObs->currentIndex();
    idObservacion_ = actual.isValid()
                         ? DtObs->index(actual.row(), ObservationStore::ColumnaId()).data().toInt()
                         : 0;
    const bool hay = idObservacion_ != 0;
    for (QPushButton *boton : {ui->Command1, ui->CdSup, ui->Excel})
        boton->setEnabled(hay);
}

void frcons::DBObs_DblClick() {
    Command1_Click();
}

void frcons::Refrescar() {
    carregar_especie();
    CargarGrid(ultimo_);
}

void frcons::Command1_Click() {
    if (idObservacion_ == 0) return;
    QPointer<frcons> yo(this);
    frmodif *f = frmodif::Abrir(modif_, idObservacion_, [yo] {
        if (yo) yo->Refrescar();
    });
    if (yo) modif_ = f;
}

void frcons::CdSup_Click() {
    if (idObservacion_ == 0) return;
    const MessageService::UserAction accion;
    const int id = idObservacion_;
    const auto respuesta = MessageService::Mostrar(
        this, QStringLiteral("La observación con id: %1 se borrará de la Base de Datos. ").arg(id),
        QStringLiteral("Suprimir Observación"), QMessageBox::Question,
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (respuesta == QMessageBox::Yes) {
        ObservationStore observaciones;
        if (!observaciones.Suprimir(id))
            MessageService::MostrarFallo(this, observaciones.error(),
                                         QStringLiteral("Observación no suprimida"));
    }
    CargarGrid(ultimo_);
}

// Filters -------------------------------------------------------------------------------

void frcons::Cbesp_Click() {
    const QString texto = ui->Cbesp->currentText();
    if (texto.trimmed().isEmpty()) {
        ui->Lbespecie->clear();
        return;
    }
    ReferenceData ref;
    const auto especie = ref.BuscarEspecie(texto);
    if (ModBaseDatos::InformarError(this, ref)) return;
    if (!especie) {
        MessageService::Mostrar(this, QStringLiteral("No existe ninguna Especie con este nombre"),
                                QStringLiteral("Especie Incorrecta"), QMessageBox::Warning);
        const QSignalBlocker bloqueo(ui->Cbesp);
        ui->Cbesp->setCurrentIndex(-1);
        ui->Cbesp->setEditText(QString());
        ui->Lbespecie->clear();
        return;
    }
    ui->Lbespecie->setText(especie->nombreCastellano);
}

void frcons::Cbesp_LostFocus() {
    const QString texto = ui->Cbesp->currentText();
    if (texto.isEmpty()) {
        ui->Lbespecie->clear();
        return;
    }
    if (ui->Cbesp->findText(texto, Qt::MatchExactly | Qt::MatchCaseSensitive) >= 0 ||
        buscador_->ElegirExacto())
        return;
    buscador_->ExplicarCodigo(QString());
    {
        const QSignalBlocker bloqueo(ui->Cbesp);
        ui->Cbesp->setCurrentIndex(-1);
        ui->Cbesp->setEditText(QStringLiteral(" "));
    }
    ui->Lbespecie->clear();
    // A filter the user did not choose would show other rows than asked for, silently.
    if (!texto.trimmed().isEmpty()) SpeciesFinder::Rechazar(this, texto);
}

bool frcons::ComprobarFecha(QLineEdit *campo) {
    const QString texto = campo->text();
    if (texto.isEmpty() || DateFilter::Completa(texto)) return true;
    // A date typed short is refused too, with the form it must take.
    return DateFilter::Rechazar(this, campo,
                                DateFilter::Leer(texto).isValid()
                                    ? QStringLiteral("Format incorrecte de Data. (DD/MM/AAAA)")
                                    : QStringLiteral("Format incorrecte de Data."),
                                QStringLiteral("Data Incorrecta"));
}

void frcons::Txdini_LostFocus() {
    ComprobarFecha(ui->Txdini);
}

void frcons::Txdfin_LostFocus() {
    ComprobarFecha(ui->Txdfin);
}

void frcons::Cdfini_Click() {
    FrDate::ElegirEn(ui->Txdini, this);
}

void frcons::Cdffin_Click() {
    FrDate::ElegirEn(ui->Txdfin, this);
}

// Spreadsheet and closing ---------------------------------------------------------------

void frcons::Excel_Click() {
    if (idObservacion_ == 0) return;
    const MessageService::UserAction accion;
    // The rows of the last query, all of them, read again from the first.
    ModBaseDatos::CrearHojaCalculo(this, QStringLiteral("Observaciones"),
                                   ObservationStore::ColumnasConsulta(), [this] {
                                       ObservationStore observaciones;
                                       return observaciones.Consultar(ultimo_, false);
                                   });
}

void frcons::CdVolver_Click() {
    Screen::CerrarHijo(this);
}
