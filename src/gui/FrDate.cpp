#include "FrDate.h"

#include "gui/ChoiceService.h"
#include "gui/Screen.h"
#include "ui_FrDate.h"

#include <QDate>
#include <QLineEdit>
#include <QPointer>

FrDate::FrDate(AlElegir alElegir, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::FrDate>()), alElegir_(std::move(alElegir)) {
    ui->setupUi(this);
    connect(ui->Fecha, &QCalendarWidget::clicked, this, &FrDate::Fecha_DateClick);
    connect(ui->Command1, &QPushButton::clicked, this, &FrDate::Command1_Click);
    Form_Load();
}

FrDate::~FrDate() = default;

void FrDate::Form_Load() {
    Screen::AplicarColores(this);
    Screen::Teclado(this, ui->Command1);
    ui->Fecha->setSelectedDate(QDate::currentDate());
    Screen::Centrar(this);
}

void FrDate::Elegir(QWidget *padre, AlElegir alElegir) {
    const ChoiceService::EnMonton<FrDate> picker(std::move(alElegir), padre);
    ChoiceService::MostrarDialogo(picker.get());
}

void FrDate::ElegirEn(QLineEdit *campo, QWidget *padre) {
    QPointer<QLineEdit> destino = campo;
    Elegir(padre, [destino](const QString &fecha) {
        if (destino) destino->setText(fecha);
    });
}

void FrDate::Fecha_DateClick(QDate dia) {
    // Written the same whatever the system's date format: the query reads dd/mm/yyyy.
    if (alElegir_) alElegir_(dia.toString(QStringLiteral("dd/MM/yyyy")));
    accept();
}

void FrDate::Command1_Click() {
    reject();
}
