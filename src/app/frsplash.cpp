#include "frsplash.h"

#include "ImagenTitulo.h"
#include "Pantalla.h"
#include "ui_frsplash.h"

frsplash::frsplash(QWidget *parent) : QWidget(parent, Qt::Dialog), ui(std::make_unique<Ui::frsplash>()) {
    ui->setupUi(this);
    ui->Image1->setPixmap(ImagenTitulo());
    setFixedSize(709, 271);
    Form_Load();
}

frsplash::~frsplash() = default;

void frsplash::Form_Load() {
    Pantalla::Centrar(this);
    Pantalla::AplicarColores(this, Pantalla::kColorPresentacion);
}
