#include "UtmSquareControls.h"

#include "data/ModConex.h"
#include "data/ReferenceData.h"
#include "geo/UtmSquares.h"
#include "gui/ModBaseDatosGui.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

UtmSquareControls::UtmSquareControls(const Controles &c, const Opciones &o) : c_(c), o_(o) {
    c_.huso->addItems(Place::Zones());
    c_.huso->setCurrentIndex(-1);
}

void UtmSquareControls::Cbhuso_LostFocus() {
    ModBaseDatos::ComprobarLista(c_.formulario, c_.huso, QStringLiteral("huso"));
}

bool UtmSquareControls::Cbmuni_LostFocus() {
    // An emptied list no longer names the municipality chosen before.
    if (c_.municipio->currentText().isEmpty()) return true;
    return ModBaseDatos::ComprobarLista(c_.formulario, c_.municipio, QStringLiteral("municipio"));
}

void UtmSquareControls::CalcularCuadradosUTM() {
    const Utm::Posicion p =
        Utm::LeerPosicion(c_.huso->currentText(), c_.este->text(), c_.norte->text());
    if (p.resultado != Utm::Resultado::Calculado) {
        if (p.resultado != Utm::Resultado::Nada) c_.mensaje->setText(p.mensaje);
        return;
    }
    // The fields show the numbers the squares come from, which are also what is stored.
    for (const auto &[campo, valor] : {std::pair{c_.este, p.este}, std::pair{c_.norte, p.norte}})
        if (campo->text() != QString::number(valor)) campo->setText(QString::number(valor));
    const Utm::Cuadrados r =
        Utm::CalcularCuadrados(ModConex::DatabaseConnection(), p.huso, p.este, p.norte);
    if (o_.recargarCuadrados) CargarTodosUTM10();
    if (r.resultado != Utm::Resultado::Calculado) {
        c_.mensaje->setText(r.mensaje);
        return;
    }

    bool encontrado = false;
    for (int i = 0; i < c_.cuadrado10k->count(); ++i) {
        if (c_.cuadrado10k->itemText(i) != r.utm10k) continue;
        encontrado = true;
        utm10Encontrado_ = true;
        c_.cuadrado10k->setCurrentIndex(i);
        c_.cuadrado1k->setText(r.utm1k);
    }
    if (!encontrado) {
        c_.cuadrado10k->setCurrentIndex(c_.cuadrado10k->findText(QStringLiteral(" ")));
        c_.mensaje->setText(QStringLiteral("Estas coordenadas generan un UTM10 no correcto"));
    }
    if (!r.utm10k.isEmpty()) CargarProvinciasUTM10(r.utm10k);
    utm10Encontrado_ = false;
    if (encontrado) c_.mensaje->clear();
}

void UtmSquareControls::CargarProvinciasUTM10(const QString &utm10) {
    ReferenceData ref;
    const QStringList provincias =
        utm10.trimmed().isEmpty() ? ref.Provincias() : ref.ProvinciasDeCuadrado(utm10);
    const QString anterior = c_.provincia->currentText();
    ModBaseDatos::Rellenar(c_.provincia, provincias);
    ModBaseDatos::InformarError(c_.formulario, ref);
    if (!o_.mantenerProvincia || anterior.isEmpty()) return;
    for (int i = 0; i < c_.provincia->count(); ++i)
        if (c_.provincia->itemText(i) == anterior) c_.provincia->setCurrentIndex(i);
}

void UtmSquareControls::CargarUTM10() {
    ReferenceData ref;
    const QString municipio = c_.municipio ? c_.municipio->currentText() : QString();
    const QString provincia = c_.provincia ? c_.provincia->currentText() : QString();
    QStringList cuadrados = municipio.trimmed().isEmpty()
                                ? ref.Cuadrados10k()
                                : ref.Cuadrados10kDeMunicipio(municipio, provincia);
    ModBaseDatos::Rellenar(c_.cuadrado10k, cuadrados << QStringLiteral(" "));
    ModBaseDatos::InformarError(c_.formulario, ref);
}

void UtmSquareControls::CargarTodosUTM10() {
    ReferenceData ref;
    ModBaseDatos::Rellenar(c_.cuadrado10k, ref.Cuadrados10k() << QStringLiteral(" "));
    ModBaseDatos::InformarError(c_.formulario, ref);
}

QString UtmSquareControls::Punto() const {
    return Place::PointKey(c_.huso->currentText(), c_.este->text(), c_.norte->text());
}

void UtmSquareControls::PonerLugar(const MunicipalityLocator::Lugar &lugar) {
    lugar_.ClearCandidates();
    if (lugar.resultado != MunicipalityLocator::Resultado::Uno &&
        lugar.resultado != MunicipalityLocator::Resultado::Varios)
        return;
    ReferenceData ref;
    QList<ReferenceData::Municipio> municipios;
    for (const int id : lugar.municipios)
        if (const auto m = ref.BuscarMunicipio(id)) municipios << *m;
    if (ModBaseDatos::InformarError(c_.formulario, ref) || municipios.isEmpty()) return;
    // Chosen as a user would, so that the forms' own choice handlers run.
    const auto elegir = [](QComboBox *lista, const QString &texto) {
        const int i = lista->findText(texto, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (i >= 0) ModBaseDatos::ElegirComoUsuario(lista, i);
        return i >= 0;
    };
    if (lugar.resultado == MunicipalityLocator::Resultado::Uno) {
        if (elegir(c_.provincia, municipios[0].provincia))
            elegir(c_.municipio, municipios[0].nombre);
        return;
    }
    QStringList provincias;
    QList<QPair<QString, QString>> candidatos;
    for (const ReferenceData::Municipio &m : municipios) {
        candidatos << qMakePair(m.provincia, m.nombre);
        if (!provincias.contains(m.provincia) &&
            c_.provincia->findText(m.provincia, Qt::MatchExactly | Qt::MatchCaseSensitive) >= 0)
            provincias << m.provincia;
    }
    if (provincias.isEmpty()) return;
    lugar_.SetCandidates(candidatos, Punto());
    const QString actual = c_.provincia->currentText();
    if (provincias.size() > 1) {
        QStringList quedan;
        for (int i = 0; i < c_.provincia->count(); ++i)
            if (provincias.contains(c_.provincia->itemText(i))) quedan << c_.provincia->itemText(i);
        ModBaseDatos::Rellenar(c_.provincia, quedan);
    }
    // The province of the municipality holding the point, unless one of the others was
    // chosen already; the municipality is left to the user.
    elegir(c_.provincia, provincias.contains(actual) ? actual : provincias.first());
}

QStringList UtmSquareControls::SoloCandidatos(const QString &provincia,
                                              const QStringList &municipios) {
    return lugar_.OnlyCandidates(Punto(), provincia, municipios);
}
