#include "support/TestDatabase.h"

#include "data/ReferenceData.h"

#include <QTest>

using namespace Qt::StringLiterals;

class tst_ReferenceData : public QObject {
    Q_OBJECT
private slots:
    void listasYBusquedas();
};

void tst_ReferenceData::listasYBusquedas() {
    TestDatabase bd;
    ReferenceData ref;
    // Lists in identifier order; a null text is an empty item, not a dropped one; stages
    // and behaviours narrowed to the species' class.
    const QList<QPair<QStringList, QStringList>> listas = {
        {ref.Vientos(), {"Calma (0-1)", "Ventolina (1-5)", ""}},
        {ref.Habitats(), {"Charca", "Encinar", ""}},
        {ref.Estadios(u"Reptil"_s), {"Huevo", "Juvenil", "Adulto"}},
        {ref.Conductas(u"Anfibio"_s), {"En reproducción", "Canto"}},
        {ref.MunicipiosDeProvincia(u"Salamanca"_s), {"Carbajosa de la Sagrada", "Salamanca"}},
        {ref.MunicipiosDeProvincia(u"madrid"_s, u"VK47"_s), {"Madrid", "Pozuelo de Alarcón"}},
        {ref.Cuadrados10kDeMunicipio(u"Ávila"_s, u"Ávila"_s), {"UK50", "UK59"}},
        {ref.Cuadrados10kDeMunicipio(u"Ávila"_s, u"Madrid"_s), {}},
    };
    for (const auto &[obtenida, esperada] : listas)
        QCOMPARE(obtenida, esperada);

    // Identifiers behind texts: the whole text only, case ignored (accented capitals too),
    // accents kept; the class decides between stages or behaviours of the same name.
    const QList<QPair<std::optional<int>, std::optional<int>>> ids = {
        {ref.IdPeriodo(u"Tarde"_s), 2},
        {ref.IdPeriodo(u"Tard"_s), std::nullopt},
        {ref.IdProvincia(u"ávila"_s), 5},
        {ref.IdMunicipio(u"Cadiz"_s, u"Cádiz"_s), std::nullopt},
        {ref.IdMunicipio(u"CÁDIZ"_s, u"cádiz"_s), 11012},
        // A municipality is only that of its own province.
        {ref.IdMunicipio(u"Madrid"_s, u"Ávila"_s), std::nullopt},
        {ref.IdEstadio(u"Adulto"_s, u"Anfibio"_s), 3},
        {ref.IdEstadio(u"Adulto"_s, u"Reptil"_s), 6},
        {ref.IdEstadio(u"Larva"_s, u"Reptil"_s), std::nullopt},
        {ref.IdConducta(u"En reproducción"_s, u"Reptil"_s), 4},
        {ref.IdConducta(u"En reproducción"_s, u"Anfibio"_s), 1},
        {ref.IdViento(u""_s), std::nullopt},
    };
    for (int i = 0; i < ids.size(); ++i)
        QVERIFY2(ids[i].first == ids[i].second, qPrintable(QString::number(i)));
    const auto especie = ref.BuscarEspecie(u"vipLAT"_s);
    QVERIFY(especie);
    QCOMPARE(especie->nombreCastellano + u'|' + especie->clase, u"Víbora hocicuda|Reptil"_s);
    QVERIFY(!ref.fallo());

    // A table that cannot be read: nothing listed, and the reason kept until cleared.
    bd.Ejecutar(u"DROP TABLE tmeteo"_s);
    QVERIFY(ref.Meteos().isEmpty());
    QVERIFY2(ref.error().contains(u"tmeteo"_s), qPrintable(ref.error()));
    ref.Limpiar();
    QVERIFY(!ref.fallo());
}

QTEST_MAIN(tst_ReferenceData)
#include "tst_ReferenceData.moc"
