#include "support/TestDatabase.h"

#include "localities/LocalityStore.h"

#include <QTest>

using namespace Qt::StringLiterals;

class tst_LocalityStore : public QObject {
    Q_OBJECT
private slots:
    void nombresYCodigos();
    void codigoLibre();
};

void tst_LocalityStore::nombresYCodigos() {
    TestDatabase bd;
    const QString sql = u"INSERT INTO localidad (cod_localidad, localidad, prov, muni, utmx) "
                        "VALUES (?,?,?,?,?)"_s;
    bd.Ejecutar(sql, {"ÁV1", "Charca del Sapo", 5, 5019, 330000});
    bd.Ejecutar(sql, {"AV2", "charca del sapo", 5, 5019, QVariant()});
    bd.Ejecutar(sql, {"XX9", "arroyo sin municipio", 5, 99999, QVariant()});
    LocalityStore localidades;

    // The name as stored, letter case included; one whose municipality is gone is none.
    const QList<QPair<QString, QString>> nombres = {
        {"Charca del Sapo", "ÁV1|Ávila|Ávila|330000"},
        {"charca del sapo", "AV2|Ávila|Ávila|"},
        {"CHARCA DEL SAPO", ""},
        {"Charca", ""},
        {"arroyo sin municipio", ""},
    };
    for (const auto &[nombre, esperado] : nombres) {
        const auto l = localidades.PorNombre(nombre);
        QCOMPARE(
            l ? QStringList({l->codigo, l->provincia, l->municipio, l->utmx.toString()}).join(u'|')
              : QString(),
            esperado);
    }
    // Sorted ignoring case.
    QCOMPARE(localidades.Nombres().value(0), u"arroyo sin municipio"_s);
    QCOMPARE(localidades.Nombres().size(), 3);

    // Codes ignore case, accented capitals included; a taken one is refused as such.
    for (const QString &codigo : {u"áv1"_s, u"av2"_s, u"ÁV1"_s})
        QVERIFY2(localidades.CodigoExiste(codigo), qPrintable(codigo));
    QVERIFY(!localidades.CodigoExiste(u"AV1"_s));
    QVERIFY(!localidades.Insertar({0, u"áv1"_s, u"Otra"_s, 5, 5019}));
    QVERIFY(localidades.claveDuplicada());
    QCOMPARE(bd.Contar(u"localidad"_s), 3);
}

void tst_LocalityStore::codigoLibre() {
    TestDatabase bd;
    bd.Ejecutar(u"INSERT INTO localidad (cod_localidad, localidad, prov, muni) "
                "VALUES ('ana5', 'Ya guardada', 5, 5019)"_s);
    LocalityStore localidades;
    // A number taken, in any letter case, gives way to the next one; a free one is kept.
    Localidad l{0, QString(), u"Charca nueva"_s, 5, 5019};
    QCOMPARE(localidades.InsertarConCodigoLibre(l, u"ANA"_s, 5), u"ANA6"_s);
    l.nombre = u"Fuente nueva"_s;
    QCOMPARE(localidades.InsertarConCodigoLibre(l, u"ANA"_s, 8), u"ANA8"_s);
    QCOMPARE(localidades.PorCodigo(u"ANA6"_s).value_or(Localidad{}).nombre, u"Charca nueva"_s);
    QCOMPARE(localidades.PorCodigo(u"ana5"_s).value_or(Localidad{}).nombre, u"Ya guardada"_s);
    QCOMPARE(bd.Contar(u"localidad"_s), 3);
}

QTEST_MAIN(tst_LocalityStore)
#include "tst_LocalityStore.moc"
