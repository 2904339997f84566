// The seed data as the program gets it: every refdata file loaded into a fresh database.

#include "support/TestDatabase.h"

#include <QRegularExpression>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

#include <memory>

class tst_refdata : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase() { bd_.reset(); }
    void provinciasYMunicipios();
    void cuadrados10k();
    void bandas100k();
    void especies();
    void listasDeReferencia();

private:
    // First column of every row of a statement.
    QStringList Columna(const QString &sql) const;
    int N(const QString &sql, const QVariantList &v = {}) const {
        return bd_->Valor(sql, v).toInt();
    }
    std::unique_ptr<TestDatabase> bd_;
};

QStringList tst_refdata::Columna(const QString &sql) const {
    QStringList r;
    QSqlQuery q(bd_->db());
    if (!q.exec(sql)) qWarning("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    while (q.next())
        r << q.value(0).toString();
    return r;
}

void tst_refdata::initTestCase() {
    bd_ = std::make_unique<TestDatabase>(TestDatabase::Datos::Reales);
    QVERIFY(bd_->ok());
}

void tst_refdata::provinciasYMunicipios() {
    // 50 provinces, Ceuta and Melilla: exactly the codes 1..52, each with a name.
    QCOMPARE(
        bd_->Valor("SELECT count(*) || ':' || min(id_prov) || '-' || max(id_prov) FROM tprovincia")
            .toString(),
        QStringLiteral("52:1-52"));
    QCOMPARE(N("SELECT count(*) FROM tprovincia WHERE prov_cast IS NULL OR trim(prov_cast) = ''"),
             0);

    const int municipios = bd_->Contar(QStringLiteral("tmunicipio"));
    QVERIFY2(municipios >= 8100 && municipios <= 8150, qPrintable(QString::number(municipios)));
    // Every municipality in the existing province its code starts with; no shared lands
    // (53xxx), no Gibraltar, no nameless one; every province has municipalities.
    QCOMPARE(
        N("SELECT count(*) FROM tmunicipio m LEFT JOIN tprovincia p ON p.id_prov = m.prov "
          "WHERE p.id_prov IS NULL OR m.prov <> m.id_muni / 1000 OR trim(ifnull(muni, '')) = '' "
          "OR id_muni > 52999"),
        0);
    QCOMPARE(N("SELECT count(DISTINCT prov) FROM tmunicipio"), 52);
    // Known codes; accents and names holding commas read right.
    const QList<QPair<int, QString>> conocidos = {{28079, "Madrid"},
                                                  {5019, "Ávila"},
                                                  {51001, "Ceuta"},
                                                  {52001, "Melilla"},
                                                  {38038, "Santa Cruz de Tenerife"},
                                                  {17187, "Saus, Camallera i Llampaies"}};
    for (const auto &[id, nombre] : conocidos)
        QCOMPARE(bd_->Valor("SELECT muni FROM tmunicipio WHERE id_muni = ?", {id}).toString(),
                 nombre);
}

void tst_refdata::cuadrados10k() {
    static const QRegularExpression forma(QStringLiteral("^[A-Z]{2}[0-9]{2}$"));
    for (const QString &utm10 :
         Columna("SELECT utm10 FROM tutm10kmunis UNION SELECT utm10 FROM tutm10kprovincia"))
        QVERIFY2(forma.match(utm10).hasMatch(), qPrintable(utm10));
    const int distintos = N("SELECT count(DISTINCT utm10) FROM tutm10kmunis");
    QVERIFY2(distintos >= 5300 && distintos <= 6500, qPrintable(QString::number(distintos)));

    // Every municipality has a square, every square row a real municipality, no row twice.
    QCOMPARE(N("SELECT count(*) FROM tmunicipio m WHERE NOT EXISTS "
               "(SELECT 1 FROM tutm10kmunis k WHERE k.id_muni = m.id_muni)"),
             0);
    QCOMPARE(N("SELECT count(*) FROM tutm10kmunis k WHERE NOT EXISTS "
               "(SELECT 1 FROM tmunicipio m WHERE m.id_muni = k.id_muni)"),
             0);
    QCOMPARE(N("SELECT count(*) FROM (SELECT 1 FROM tutm10kmunis GROUP BY utm10, id_muni HAVING "
               "count(*) > 1)"),
             0);
    QCOMPARE(N("SELECT count(*) FROM (SELECT 1 FROM tutm10kprovincia GROUP BY utm10, id_prov "
               "HAVING count(*) > 1)"),
             0);

    // A province's squares are exactly those of its municipalities.
    const QString deMunicipios = QStringLiteral("SELECT DISTINCT k.utm10, m.prov FROM tutm10kmunis "
                                                "k JOIN tmunicipio m ON m.id_muni = k.id_muni");
    const QString deProvincias = QStringLiteral("SELECT utm10, id_prov FROM tutm10kprovincia");
    QVERIFY(Columna(deMunicipios + " EXCEPT " + deProvincias).isEmpty());
    QVERIFY(Columna(deProvincias + " EXCEPT " + deMunicipios).isEmpty());

    // Places whose squares are known: Madrid, Sevilla (east of -6°, zone 30), Santiago (29),
    // Barcelona and Palma (31), Santa Cruz de Tenerife (28), Ceuta; and Columbretes, an islet
    // too small for the boundary source, 50 km off Castelló de la Plana.
    const QList<QPair<int, QString>> conocidos = {{28079, "VK47"}, {41091, "TG34"}, {15078, "NH34"},
                                                  {8019, "DF38"},  {7040, "DD67"},  {38038, "CS74"},
                                                  {51001, "TE97"}, {12040, "CE01"}};
    for (const auto &[muni, utm10] : conocidos)
        QVERIFY2(N("SELECT count(*) FROM tutm10kmunis WHERE id_muni = ? AND utm10 = ?",
                   {muni, utm10}) == 1,
                 qPrintable(QStringLiteral("%1 %2").arg(muni).arg(utm10)));
}

void tst_refdata::bandas100k() {
    // Every zone from the Canaries (27, 28) to the Balearics (31): eight easting bands from
    // 100000 and twenty northing bands from 3000000, each a different single letter.
    for (int huso = 27; huso <= 31; ++huso) {
        for (const auto &[tabla, minimo, letra, primero, bandas] :
             {std::tuple{"tutm100keste", "utmxmin", "utm100e", 100000, 8},
              std::tuple{"tutm100knorte", "utmymin", "utm100n", 3000000, 20}}) {
            const QString donde = QStringLiteral("FROM %1 WHERE huso = '%2'").arg(tabla).arg(huso);
            QCOMPARE(Columna(QStringLiteral("SELECT %1 %2 ORDER BY %1").arg(minimo, donde)).size(),
                     bandas);
            QCOMPARE(
                N(QStringLiteral(
                      "SELECT count(DISTINCT %1) %2 AND length(%1) = 1 AND %3 = %4 + "
                      "100000 * (SELECT count(*) FROM %5 b WHERE b.huso = '%6' AND b.%3 < %5.%3)")
                      .arg(letra, donde, minimo)
                      .arg(primero)
                      .arg(tabla)
                      .arg(huso)),
                bandas);
        }
    }
    // The zone is text, as the form's list gives it.
    QCOMPARE(N("SELECT count(*) FROM tutm100keste WHERE typeof(huso) <> 'text'"), 0);
}

void tst_refdata::especies() {
    static const QRegularExpression codigo(QStringLiteral("^[A-Z]{3,10}$"));
    // Genus and species, or a hybrid form written "kl.".
    static const QRegularExpression cientifico(QStringLiteral("^[A-Z][a-z]+ (kl\\. )?[a-z]+$"));
    QSqlQuery q(bd_->db());
    QVERIFY(q.exec(QStringLiteral("SELECT cod_especie, n_especie, n_cast FROM especie")));
    while (q.next()) {
        QVERIFY2(codigo.match(q.value(0).toString()).hasMatch(), qPrintable(q.value(0).toString()));
        QVERIFY2(cientifico.match(q.value(1).toString()).hasMatch(),
                 qPrintable(q.value(1).toString()));
        QVERIFY(!q.value(2).toString().trimmed().isEmpty());
    }
    const int total = bd_->Contar(QStringLiteral("especie"));
    for (const char *columna : {"upper(cod_especie)", "lower(n_especie)", "lower(n_cast)"})
        QCOMPARE(N(QStringLiteral("SELECT count(DISTINCT %1) FROM especie").arg(columna)), total);
    const int anfibios = N("SELECT count(*) FROM especie WHERE clase = 'Anfibio'");
    const int reptiles = N("SELECT count(*) FROM especie WHERE clase = 'Reptil'");
    QCOMPARE(anfibios + reptiles, total);
    QVERIFY2(anfibios >= 30 && anfibios <= 45, qPrintable(QString::number(anfibios)));
    QVERIFY2(reptiles >= 80 && reptiles <= 100, qPrintable(QString::number(reptiles)));
}

void tst_refdata::listasDeReferencia() {
    // The forms find an identifier from the text shown, so texts are unique within each list
    // (stages and behaviours within each class), and none is empty.
    const QList<QStringList> listas = {{"testadio", "id_estadio", "estad_cast", ", clase"},
                                       {"tconducta", "id_conducta", "conduct_cast", ", clase"},
                                       {"thabitat", "id_habitat", "habitat", ""},
                                       {"tmeteo", "id_meteo", "meteo_cast", ""},
                                       {"tperiodo", "id_periodo", "period_cast", ""},
                                       {"tbeaufort", "id_beaufort", "viento", ""},
                                       {"motivo", "id_motivo", "motivo_cast", ""}};
    for (const QStringList &l : listas) {
        QVERIFY2(bd_->Contar(l[0]) >= 4, qPrintable(l[0]));
        QVERIFY2(
            Columna(QStringLiteral("SELECT %2 FROM %1 GROUP BY lower(%2)%3 HAVING count(*) > 1")
                        .arg(l[0], l[2], l[3]))
                .isEmpty(),
            qPrintable(l[0]));
        QCOMPARE(N(QStringLiteral(
                       "SELECT count(*) FROM %1 WHERE trim(ifnull(%2, '')) = '' OR %3 IS NULL")
                       .arg(l[0], l[2], l[1])),
                 0);
    }
    // Stages and behaviours exist for both classes, and only for them.
    for (const char *tabla : {"testadio", "tconducta"})
        QCOMPARE(Columna(QStringLiteral("SELECT DISTINCT clase FROM %1 ORDER BY clase").arg(tabla)),
                 QStringList({"Anfibio", "Reptil"}));
    // Beaufort forces 0 to 12 under identifiers 1 to 13, since 0 stands for no wind given;
    // the list shows "name (speed)" and reads the name back up to the first parenthesis.
    QCOMPARE(bd_->Valor("SELECT count(*) || ':' || min(id_beaufort) || '-' || max(id_beaufort) "
                        "FROM tbeaufort")
                 .toString(),
             QStringLiteral("13:1-13"));
    QCOMPARE(
        N("SELECT count(*) FROM tbeaufort WHERE instr(viento, '(') > 0 OR viento <> trim(viento) "
          "OR velocidad IS NULL"),
        0);
    QCOMPARE(bd_->Valor("SELECT viento FROM tbeaufort WHERE id_beaufort = 1").toString(),
             QStringLiteral("Calma"));
}

QTEST_MAIN(tst_refdata)
#include "tst_refdata.moc"
