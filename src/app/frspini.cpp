#include "frspini.h"

#include "ImagenTitulo.h"
#include "Pantalla.h"
#include "ui_frspini.h"

frspini::frspini(QWidget *parent) : QWidget(parent, Qt::Dialog), ui(std::make_unique<Ui::frspini>()) {
    ui->setupUi(this);
    ui->Image1->setPixmap(ImagenTitulo());
    setFixedSize(709, 271);
    Form_Load();
}

frspini::~frspini() = default;

void frspini::Form_Load() {
    Pantalla::Centrar(this);
    Pantalla::AplicarColores(this, Pantalla::kColorPresentacion);
}
