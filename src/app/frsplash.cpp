#include "frsplash.h"

#include "gui/Screen.h"
#include "gui/TitleImage.h"
#include "ui_frsplash.h"

frsplash::frsplash(QWidget *parent)
    : QWidget(parent, Qt::Dialog), ui(std::make_unique<Ui::frsplash>()) {
    ui->setupUi(this);
    ui->Image1->setPixmap(TitleImage());
    // The picture as it was, the licence and the sources' lines below it.
    setFixedSize(709, 271 + ui->Lbfuentes->heightForWidth(709));
    Form_Load();
}

frsplash::~frsplash() = default;

void frsplash::Form_Load() {
    Screen::Centrar(this);
    Screen::AplicarColores(this, Screen::kColorPresentacion);
}
