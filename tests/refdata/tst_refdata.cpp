// The seed data as the program gets it: every refdata file loaded into a fresh database.

#include "support/BaseDatosPrueba.h"

#include <QRegularExpression>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

#include <memory>

class tst_refdata : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void provinciasYMunicipios();
    void cuadrados10k();
    void bandas100k();
    void especies();
    void listasDeReferencia();

private:
    QList<QVariantList> Filas(const QString &sql) const;
    std::unique_ptr<BaseDatosPrueba> bd_;
};

QList<QVariantList> tst_refdata::Filas(const QString &sql) const {
    QList<QVariantList> filas;
    QSqlQuery q(bd_->db());
    if (!q.exec(sql)) {
        qWarning("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
        return filas;
    }
    while (q.next()) {
        QVariantList f;
        for (int i = 0; i < q.record().count(); ++i)
            f << q.value(i);
        filas << f;
    }
    return filas;
}

void tst_refdata::initTestCase() {
    bd_ = std::make_unique<BaseDatosPrueba>(BaseDatosPrueba::Datos::Reales);
    QVERIFY(bd_->ok());
}

void tst_refdata::cleanupTestCase() {
    bd_.reset();
}

void tst_refdata::provinciasYMunicipios() {
    // 50 provinces, Ceuta and Melilla: exactly the codes 1..52, each with a name.
    QCOMPARE(bd_->Contar(QStringLiteral("tprovincia")), 52);
    QCOMPARE(
        bd_->Valor(QStringLiteral("SELECT min(id_prov) || '-' || max(id_prov) FROM tprovincia"))
            .toString(),
        QStringLiteral("1-52"));
    QCOMPARE(bd_->Valor(QStringLiteral("SELECT count(*) FROM tprovincia "
                                       "WHERE prov_cast IS NULL OR trim(prov_cast) = ''"))
                 .toInt(),
             0);
    QCOMPARE(bd_->Valor(QStringLiteral("SELECT prov_cast FROM tprovincia WHERE id_prov = 28"))
                 .toString(),
             QStringLiteral("Madrid"));

    const int municipios = bd_->Contar(QStringLiteral("tmunicipio"));
    QVERIFY2(municipios >= 8100 && municipios <= 8150, qPrintable(QString::number(municipios)));
    // Every municipality in an existing province, the one its code starts with; no shared
    // lands (53xxx) and no Gibraltar.
    QCOMPARE(bd_->Valor(QStringLiteral("SELECT count(*) FROM tmunicipio m LEFT JOIN tprovincia p "
                                       "ON p.id_prov = m.prov WHERE p.id_prov IS NULL "
                                       "OR m.prov <> m.id_muni / 1000"))
                 .toInt(),
             0);
    QCOMPARE(bd_->Valor(QStringLiteral("SELECT count(*) FROM tmunicipio WHERE muni IS NULL "
                                       "OR trim(muni) = '' OR id_muni < 1001 OR id_muni > 52999"))
                 .toInt(),
             0);
    // Known codes, accents and quoting of names with commas read right.
    const QList<QPair<int, QString>> conocidos = {
        {28079, QStringLiteral("Madrid")},
        {5019, QStringLiteral("Ávila")},
        {51001, QStringLiteral("Ceuta")},
        {52001, QStringLiteral("Melilla")},
        {38038, QStringLiteral("Santa Cruz de Tenerife")},
        {17187, QStringLiteral("Saus, Camallera i Llampaies")},
    };
    for (const auto &[id, nombre] : conocidos)
        QCOMPARE(bd_->Valor(QStringLiteral("SELECT muni FROM tmunicipio WHERE id_muni = ?"), {id})
                     .toString(),
                 nombre);
    // Every province has municipalities.
    QCOMPARE(bd_->Valor(QStringLiteral("SELECT count(DISTINCT prov) FROM tmunicipio")).toInt(), 52);
}

void tst_refdata::cuadrados10k() {
    // Codes of two letters and two digits.
    static const QRegularExpression forma(QStringLiteral("^[A-Z]{2}[0-9]{2}$"));
    for (const QString tabla : {QStringLiteral("tutm10kmunis"), QStringLiteral("tutm10kprovincia")})
        for (const QVariantList &f : Filas(QStringLiteral("SELECT DISTINCT utm10 FROM ") + tabla))
            QVERIFY2(forma.match(f.at(0).toString()).hasMatch(), qPrintable(f.at(0).toString()));

    const int distintos =
        bd_->Valor(QStringLiteral("SELECT count(DISTINCT utm10) FROM tutm10kmunis")).toInt();
    QVERIFY2(distintos >= 5300 && distintos <= 6500, qPrintable(QString::number(distintos)));

    // Every municipality has a square, and every square row names a real municipality.
    QCOMPARE(
        bd_->Valor(QStringLiteral("SELECT count(*) FROM tmunicipio m WHERE NOT EXISTS "
                                  "(SELECT 1 FROM tutm10kmunis k WHERE k.id_muni = m.id_muni)"))
            .toInt(),
        0);
    QCOMPARE(bd_->Valor(QStringLiteral("SELECT count(*) FROM tutm10kmunis k WHERE NOT EXISTS "
                                       "(SELECT 1 FROM tmunicipio m WHERE m.id_muni = k.id_muni)"))
                 .toInt(),
             0);
    // No row twice.
    QCOMPARE(bd_->Valor(QStringLiteral("SELECT count(*) FROM (SELECT utm10, id_muni FROM "
                                       "tutm10kmunis GROUP BY utm10, id_muni HAVING count(*) > 1)"))
                 .toInt(),
             0);
    QCOMPARE(
        bd_->Valor(QStringLiteral("SELECT count(*) FROM (SELECT utm10, id_prov FROM "
                                  "tutm10kprovincia GROUP BY utm10, id_prov HAVING count(*) > 1)"))
            .toInt(),
        0);

    // A province's squares are exactly those of its municipalities.
    const QString deMunicipios = QStringLiteral("SELECT DISTINCT k.utm10, m.prov FROM tutm10kmunis "
                                                "k JOIN tmunicipio m ON m.id_muni = k.id_muni");
    const QString deProvincias = QStringLiteral("SELECT utm10, id_prov FROM tutm10kprovincia");
    QCOMPARE(Filas(deMunicipios + QStringLiteral(" EXCEPT ") + deProvincias).size(), 0);
    QCOMPARE(Filas(deProvincias + QStringLiteral(" EXCEPT ") + deMunicipios).size(), 0);

    // Places whose squares are known: Madrid's centre, Sevilla (east of -6°, zone 30),
    // Santiago (zone 29), Barcelona and Palma (zone 31), Tenerife (zone 28), Ceuta.
    const QList<QPair<int, QString>> conocidos = {
        {28079, QStringLiteral("VK47")}, {41091, QStringLiteral("TG34")},
        {15078, QStringLiteral("NH34")}, {8019, QStringLiteral("DF38")},
        {7040, QStringLiteral("DD67")},  {38038, QStringLiteral("CS74")},
        {51001, QStringLiteral("TE97")},
    };
    for (const auto &[muni, utm10] : conocidos)
        QVERIFY2(bd_->Valor(QStringLiteral("SELECT count(*) FROM tutm10kmunis "
                                           "WHERE id_muni = ? AND utm10 = ?"),
                            {muni, utm10})
                         .toInt() == 1,
                 qPrintable(QStringLiteral("%1 %2").arg(muni).arg(utm10)));
    // Islets too small for the boundary source still have their square: Columbretes, 50 km
    // off the coast of Castelló de la Plana.
    QCOMPARE(bd_->Valor(QStringLiteral("SELECT count(*) FROM tutm10kmunis "
                                       "WHERE id_muni = 12040 AND utm10 = 'CE01'"))
                 .toInt(),
             1);
}

void tst_refdata::bandas100k() {
    // Every zone from the Canaries (27, 28) to the Balearics (31): eight easting bands from
    // 100000 and twenty northing bands from 3000000, one letter each, none repeated.
    for (int huso = 27; huso <= 31; ++huso) {
        const QList<QVariantList> este =
            Filas(QStringLiteral("SELECT utmxmin, utm100e FROM tutm100keste WHERE huso = '%1' "
                                 "ORDER BY utmxmin")
                      .arg(huso));
        const QList<QVariantList> norte =
            Filas(QStringLiteral("SELECT utmymin, utm100n FROM tutm100knorte WHERE huso = '%1' "
                                 "ORDER BY utmymin")
                      .arg(huso));
        QCOMPARE(este.size(), 8);
        QCOMPARE(norte.size(), 20);
        QSet<QString> letras;
        for (int i = 0; i < este.size(); ++i) {
            QCOMPARE(este[i][0].toInt(), 100000 * (i + 1));
            QVERIFY(QRegularExpression(QStringLiteral("^[A-Z]$"))
                        .match(este[i][1].toString())
                        .hasMatch());
            letras.insert(este[i][1].toString());
        }
        QCOMPARE(letras.size(), 8);
        letras.clear();
        for (int i = 0; i < norte.size(); ++i) {
            QCOMPARE(norte[i][0].toInt(), 3000000 + 100000 * i);
            QVERIFY(QRegularExpression(QStringLiteral("^[A-Z]$"))
                        .match(norte[i][1].toString())
                        .hasMatch());
            letras.insert(norte[i][1].toString());
        }
        QCOMPARE(letras.size(), 20);
    }
    QCOMPARE(bd_->Contar(QStringLiteral("tutm100keste")), 40);
    QCOMPARE(bd_->Contar(QStringLiteral("tutm100knorte")), 100);
    // The zone is text, as the form's list gives it.
    QCOMPARE(
        bd_->Valor(QStringLiteral("SELECT count(*) FROM tutm100keste WHERE typeof(huso) <> 'text'"))
            .toInt(),
        0);
}

void tst_refdata::especies() {
    static const QRegularExpression codigo(QStringLiteral("^[A-Z]{3,10}$"));
    const QList<QVariantList> filas =
        Filas(QStringLiteral("SELECT cod_especie, n_especie, n_cast, clase FROM especie"));
    QSet<QString> codigos, cientificos, comunes;
    int anfibios = 0, reptiles = 0;
    for (const QVariantList &f : filas) {
        QVERIFY2(codigo.match(f[0].toString()).hasMatch(), qPrintable(f[0].toString()));
        // Genus and species, or a hybrid form written "kl.".
        QVERIFY2(QRegularExpression(QStringLiteral("^[A-Z][a-z]+ (kl\\. )?[a-z]+$"))
                     .match(f[1].toString())
                     .hasMatch(),
                 qPrintable(f[1].toString()));
        QVERIFY(!f[2].toString().trimmed().isEmpty());
        codigos.insert(f[0].toString().toUpper());
        cientificos.insert(f[1].toString().toLower());
        comunes.insert(f[2].toString().toLower());
        if (f[3].toString() == QStringLiteral("Anfibio"))
            ++anfibios;
        else if (f[3].toString() == QStringLiteral("Reptil"))
            ++reptiles;
        else
            QFAIL(qPrintable(f[0].toString() + QStringLiteral(": clase ") + f[3].toString()));
    }
    QCOMPARE(codigos.size(), filas.size());
    QCOMPARE(cientificos.size(), filas.size());
    QCOMPARE(comunes.size(), filas.size());
    QVERIFY2(anfibios >= 30 && anfibios <= 45, qPrintable(QString::number(anfibios)));
    QVERIFY2(reptiles >= 80 && reptiles <= 100, qPrintable(QString::number(reptiles)));
    QCOMPARE(bd_->Valor(QStringLiteral("SELECT n_cast FROM especie WHERE cod_especie = 'salsal'"))
                 .toString(),
             QStringLiteral("Salamandra común"));
}

void tst_refdata::listasDeReferencia() {
    // The forms find an identifier from the text shown, so texts are unique within each list
    // (stages and behaviours within each class), and none is empty.
    struct Lista {
        const char *tabla, *id, *texto, *clase;
    };
    const Lista listas[] = {
        {"testadio", "id_estadio", "estad_cast", "clase"},
        {"tconducta", "id_conducta", "conduct_cast", "clase"},
        {"thabitat", "id_habitat", "habitat", nullptr},
        {"tmeteo", "id_meteo", "meteo_cast", nullptr},
        {"tperiodo", "id_periodo", "period_cast", nullptr},
        {"tbeaufort", "id_beaufort", "viento", nullptr},
        {"motivo", "id_motivo", "motivo_cast", nullptr},
    };
    for (const Lista &l : listas) {
        const QString grupo = l.clase ? QStringLiteral("lower(%1), %2").arg(l.texto, l.clase)
                                      : QStringLiteral("lower(%1)").arg(l.texto);
        QVERIFY2(bd_->Contar(QString::fromLatin1(l.tabla)) >= 4, l.tabla);
        QVERIFY2(Filas(QStringLiteral("SELECT %1 FROM %2 GROUP BY %3 HAVING count(*) > 1")
                           .arg(QString::fromLatin1(l.texto), QString::fromLatin1(l.tabla), grupo))
                     .isEmpty(),
                 l.tabla);
        QCOMPARE(
            bd_->Valor(QStringLiteral("SELECT count(*) FROM %1 WHERE %2 IS NULL OR trim(%2) = '' "
                                      "OR %3 IS NULL")
                           .arg(QString::fromLatin1(l.tabla), QString::fromLatin1(l.texto),
                                QString::fromLatin1(l.id)))
                .toInt(),
            0);
    }
    // Stages and behaviours exist for both classes, and only for them.
    for (const char *tabla : {"testadio", "tconducta"}) {
        const QList<QVariantList> clases =
            Filas(QStringLiteral("SELECT DISTINCT clase FROM %1 ORDER BY clase")
                      .arg(QString::fromLatin1(tabla)));
        QCOMPARE(clases.size(), 2);
        QCOMPARE(clases[0][0].toString(), QStringLiteral("Anfibio"));
        QCOMPARE(clases[1][0].toString(), QStringLiteral("Reptil"));
    }
    // Beaufort forces 0 to 12 under identifiers 1 to 13, since 0 stands for no wind given;
    // the list shows "name (speed)" and reads the name back up to
    // the first parenthesis, so names hold none.
    QCOMPARE(bd_->Valor(QStringLiteral("SELECT count(*) || ':' || min(id_beaufort) || '-' || "
                                       "max(id_beaufort) FROM tbeaufort"))
                 .toString(),
             QStringLiteral("13:1-13"));
    QCOMPARE(
        bd_->Valor(QStringLiteral("SELECT count(*) FROM tbeaufort WHERE instr(viento, '(') > 0 "
                                  "OR viento <> trim(viento) OR velocidad IS NULL"))
            .toInt(),
        0);
    QCOMPARE(
        bd_->Valor(QStringLiteral("SELECT viento FROM tbeaufort WHERE id_beaufort = 1")).toString(),
        QStringLiteral("Calma"));
}

QTEST_MAIN(tst_refdata)
#include "tst_refdata.moc"
