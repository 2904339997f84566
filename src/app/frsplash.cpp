#include "frsplash.h"

#include "data/Instalacion.h"
#include "data/ModConex.h"
#include "gui/Screen.h"
#include "gui/TitleImage.h"
#include "ui_frsplash.h"

#include <QDir>

frsplash::frsplash(QWidget *parent)
    : QWidget(parent, Qt::Dialog), ui(std::make_unique<Ui::frsplash>()) {
    ui->setupUi(this);
    ui->Image1->setPixmap(TitleImage());
    // Which version, and where the data it shows are: what a user asked for help names.
    const QString datos =
        ModConex::EsServidor()
            ? QStringLiteral("en el servidor %1").arg(ModConex::ServidorActual()->Descripcion())
            : QStringLiteral("en la carpeta %1")
                  .arg(QDir::toNativeSeparators(ModConex::CarpetaDatos()));
    ui->Lbversion->setText(
        QStringLiteral("Versión %1. Sus datos están %2.").arg(Version::Programa(), datos));
    // The picture as it was, the version, the licence and the sources' lines below it.
    setFixedSize(709,
                 271 + ui->Lbversion->heightForWidth(709) + ui->Lbfuentes->heightForWidth(709));
    Form_Load();
}

frsplash::~frsplash() = default;

void frsplash::Form_Load() {
    Screen::Centrar(this);
    Screen::AplicarColores(this, Screen::kColorPresentacion);
}
