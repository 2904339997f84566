#include "frspini.h"

#include "gui/Screen.h"
#include "gui/TitleImage.h"
#include "ui_frspini.h"

frspini::frspini(QWidget *parent)
    : QWidget(parent, Qt::Dialog), ui(std::make_unique<Ui::frspini>()) {
    ui->setupUi(this);
    ui->Image1->setPixmap(TitleImage());
    setFixedSize(709, 271);
    Form_Load();
}

frspini::~frspini() = default;

void frspini::Form_Load() {
    Screen::Centrar(this);
    Screen::AplicarColores(this, Screen::kColorPresentacion);
}
