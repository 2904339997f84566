// The seed data as the program gets it: every refdata file loaded into a fresh database.
// Only what the program relies on is checked, not what the files happen to hold.

#include "support/TestDatabase.h"

#include "data/SpeciesNames.h"

#include <QSqlQuery>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_refdata : public QObject {
    Q_OBJECT
private slots:
    void invariantes();
    void bandas100k();
    void especies();

private:
    int N(const QString &sql, const QVariantList &v = {}) const {
        return bd_.Valor(sql, v).toInt();
    }
    // Built once, after the application object: loading every file takes a while.
    TestDatabase bd_{TestDatabase::Datos::Reales};
};

void tst_refdata::invariantes() {
    // Each statement counts the rows that break a rule; all must count none.
    QStringList reglas = {
        // Every province named and with municipalities; every municipality named, in the
        // existing province its code starts with, with no shared lands (53xxx).
        u"SELECT count(*) FROM tprovincia p WHERE trim(ifnull(prov_cast, '')) = '' OR NOT "
        "EXISTS (SELECT 1 FROM tmunicipio m WHERE m.prov = p.id_prov)"_s,
        u"SELECT count(*) FROM tmunicipio m LEFT JOIN tprovincia p ON p.id_prov = m.prov "
        "WHERE p.id_prov IS NULL OR m.prov <> m.id_muni / 1000 OR trim(ifnull(muni, '')) = '' "
        "OR id_muni > 52999"_s,
        // Every municipality has a square, every square row a real municipality; squares
        // well formed and no row twice.
        u"SELECT count(*) FROM tmunicipio m WHERE NOT EXISTS "
        "(SELECT 1 FROM tutm10kmunis k WHERE k.id_muni = m.id_muni)"_s,
        u"SELECT count(*) FROM tutm10kmunis k WHERE NOT EXISTS "
        "(SELECT 1 FROM tmunicipio m WHERE m.id_muni = k.id_muni)"_s,
        u"SELECT count(*) FROM (SELECT utm10 FROM tutm10kmunis UNION SELECT utm10 FROM "
        "tutm10kprovincia) WHERE utm10 NOT GLOB '[A-Z][A-Z][0-9][0-9]'"_s,
        u"SELECT count(*) FROM (SELECT 1 FROM tutm10kmunis GROUP BY utm10, id_muni "
        "HAVING count(*) > 1)"_s,
        u"SELECT count(*) FROM (SELECT 1 FROM tutm10kprovincia GROUP BY utm10, id_prov "
        "HAVING count(*) > 1)"_s,
        // The zone is text, as the form's list gives it.
        u"SELECT count(*) FROM tutm100keste WHERE typeof(huso) <> 'text'"_s,
        // Beaufort identifiers start at 1, since 0 stands for no wind given; the list shows
        // "name (speed)" and reads the name back up to the first parenthesis.
        u"SELECT count(*) FROM tbeaufort WHERE id_beaufort < 1 OR instr(viento, '(') > 0 "
        "OR viento <> trim(viento) OR velocidad IS NULL"_s,
    };
    // A province's squares are exactly those of its municipalities.
    const QString deMunicipios = u"SELECT DISTINCT k.utm10, m.prov FROM tutm10kmunis k JOIN "
                                 "tmunicipio m ON m.id_muni = k.id_muni"_s;
    const QString deProvincias = u"SELECT utm10, id_prov FROM tutm10kprovincia"_s;
    reglas << u"SELECT count(*) FROM (%1 EXCEPT %2)"_s.arg(deMunicipios, deProvincias)
           << u"SELECT count(*) FROM (%1 EXCEPT %2)"_s.arg(deProvincias, deMunicipios);
    // The forms find an identifier from the text shown, so texts are unique within each list
    // (stages and behaviours within each class, both classes and only those), none empty.
    for (const auto &[tabla, id, texto, clase] :
         {std::tuple{"testadio", "id_estadio", "estad_cast", ", clase"},
          {"tconducta", "id_conducta", "conduct_cast", ", clase"},
          {"thabitat", "id_habitat", "habitat", ""},
          {"tmeteo", "id_meteo", "meteo_cast", ""},
          {"tperiodo", "id_periodo", "period_cast", ""},
          {"tbeaufort", "id_beaufort", "viento", ""},
          {"motivo", "id_motivo", "motivo_cast", ""},
          {"especie", "cod_especie", "upper(cod_especie)", ""},
          {"especie", "cod_especie", "n_especie", ""},
          {"especie", "cod_especie", "n_cast", ""}}) {
        QVERIFY2(N(u"SELECT count(*) FROM %1"_s.arg(tabla)) >= 4, tabla);
        reglas << u"SELECT count(*) FROM (SELECT 1 FROM %1 GROUP BY lower(%2)%3 HAVING "
                  "count(*) > 1)"_s.arg(tabla, texto, clase)
               << u"SELECT count(*) FROM %1 WHERE trim(ifnull(%2, '')) = '' OR %3 IS NULL"_s.arg(
                      tabla, texto, id);
        if (*clase)
            reglas << u"SELECT (SELECT count(DISTINCT clase) FROM %1) <> 2 OR EXISTS (SELECT 1 "
                      "FROM %1 WHERE ifnull(clase, '') NOT IN ('Anfibio', 'Reptil'))"_s.arg(tabla);
    }
    reglas << u"SELECT count(*) FROM especie WHERE ifnull(clase, '') NOT IN ('Anfibio', 'Reptil')"_s
           // Species codes are three to ten capitals.
           << u"SELECT count(*) FROM especie WHERE length(cod_especie) NOT BETWEEN 3 AND 10 OR "
              "cod_especie GLOB '*[^A-Z]*'"_s;
    for (const QString &regla : reglas)
        QVERIFY2(N(regla) == 0, qPrintable(regla));

    // Places whose squares are known: Madrid, Sevilla (east of -6°, zone 30), Santiago (29),
    // Barcelona and Palma (31), Santa Cruz de Tenerife (28), Ceuta; and Columbretes, an islet too
    // small for the boundary source, 50 km off Castelló de la Plana.
    const QList<QPair<int, QString>> conocidos = {{28079, "VK47"}, {41091, "TG34"}, {15078, "NH34"},
                                                  {8019, "DF38"},  {7040, "DD67"},  {38038, "CS74"},
                                                  {51001, "TE97"}, {12040, "CE01"}};
    for (const auto &[muni, utm10] : conocidos)
        QVERIFY2(N(u"SELECT count(*) FROM tutm10kmunis WHERE id_muni = ? AND utm10 = ?"_s,
                   {muni, utm10}) == 1,
                 qPrintable(u"%1 %2"_s.arg(muni).arg(utm10)));
}

void tst_refdata::bandas100k() {
    // Every zone from the Canaries (27, 28) to the Balearics (31): eight easting bands from
    // 100000 and twenty northing bands from 3000000, each a different single letter.
    for (int huso = 27; huso <= 31; ++huso) {
        for (const auto &[tabla, minimo, letra, primero, bandas] :
             {std::tuple{"tutm100keste", "utmxmin", "utm100e", 100000, 8},
              std::tuple{"tutm100knorte", "utmymin", "utm100n", 3000000, 20}}) {
            const QString donde = u"FROM %1 WHERE huso = '%2'"_s.arg(tabla).arg(huso);
            QCOMPARE(N(u"SELECT count(*) %1"_s.arg(donde)), bandas);
            QCOMPARE(N(u"SELECT count(DISTINCT %1) %2 AND length(%1) = 1 AND %3 = %4 + 100000 * "
                       "(SELECT count(*) FROM %5 b WHERE b.huso = '%6' AND b.%3 < %5.%3)"_s
                           .arg(letra, donde, minimo)
                           .arg(primero)
                           .arg(tabla)
                           .arg(huso)),
                     bandas);
        }
    }
}

void tst_refdata::especies() {
    // Counted breaks of the rules of the species and their names; all must count none.
    const QString aceptada = u"ifnull(%1sinonimo_de, '') = ''"_s;
    const QStringList reglas = {
        // An older code points at an accepted species, never at another older one.
        u"SELECT count(*) FROM especie s WHERE NOT %1 AND NOT EXISTS (SELECT 1 FROM especie a "
        "WHERE a.cod_especie = s.sinonimo_de AND %2)"_s.arg(aceptada.arg(u"s."_s),
                                                            aceptada.arg(u"a."_s)),
        // Every name belongs to an accepted species, has a known kind and no stray blanks.
        u"SELECT count(*) FROM especie_nombre n WHERE NOT EXISTS (SELECT 1 FROM especie a WHERE "
        "a.cod_especie = n.cod_especie AND %1) OR tipo NOT IN ('cientifico', 'sinonimo', "
        "'castellano', 'castellano_otro', 'catalan', 'gallego', 'euskera') OR nombre <> "
        "trim(nombre) OR nombre = '' OR instr(nombre, '  ') > 0"_s.arg(aceptada.arg(u"a."_s)),
        // Each accepted species bears its scientific and Spanish names, once each.
        u"SELECT count(*) FROM especie e WHERE %1 AND ((SELECT count(*) FROM especie_nombre n "
        "WHERE n.cod_especie = e.cod_especie AND tipo = 'cientifico' AND nombre = e.n_especie) "
        "<> 1 OR (SELECT count(*) FROM especie_nombre n WHERE n.cod_especie = e.cod_especie AND "
        "tipo = 'castellano' AND nombre = e.n_cast) <> 1)"_s.arg(aceptada.arg(QString())),
        // An older code's scientific name finds the accepted species.
        u"SELECT count(*) FROM especie s WHERE NOT %1 AND NOT EXISTS (SELECT 1 FROM "
        "especie_nombre n WHERE n.cod_especie = s.sinonimo_de AND n.nombre = s.n_especie AND "
        "tipo = 'sinonimo')"_s.arg(aceptada.arg(QString())),
        u"SELECT count(*) FROM tprovincia WHERE trim(ifnull(prov_ine, '')) = ''"_s,
    };
    for (const QString &regla : reglas)
        QVERIFY2(N(regla) == 0, qPrintable(regla));

    // A name, case and accents aside, names one species only.
    QSqlQuery q(bd_.db());
    QVERIFY(q.exec(u"SELECT nombre, cod_especie FROM especie_nombre"_s));
    QHash<QString, QString> especieDe;
    while (q.next()) {
        const QString clave = SpeciesNames::Normalizar(q.value(0).toString());
        const QString codigo = q.value(1).toString();
        QVERIFY2(especieDe.value(clave, codigo) == codigo, qPrintable(q.value(0).toString()));
        especieDe.insert(clave, codigo);
    }

    // The corrections: code, scientific name, Spanish name, accepted species of an older code.
    const QStringList especies = {
        u"CHAPAR|Chalcides parallelus|Eslizón de Chafarinas|"_s,
        u"CHAMAU|Chalcides mauritanicus|Eslizón de Orán|"_s,
        u"CHAPSE|Chalcides pseudostriatus|Eslizón tridáctilo del Atlas|"_s,
        u"RANPAR|Rana parvipalmata|Rana bermeja ibérica|"_s,
        u"BLAVAN|Blanus vandellii|Culebrilla ciega de Vandelli|"_s,
        u"BLAMAR|Blanus mariae|Culebrilla ciega del suroeste|BLACIN"_s,
        u"PODATR|Podarcis atrata|Lagartija de Columbretes|PODLIO"_s,
        u"MACABU|Macroprotodon abubakeri|Culebra de cogulla de Abubakr|MACBRE"_s,
        u"MACCUC|Macroprotodon cucullatus|Culebra de cogulla|MACBRE"_s,
        u"BLARUF|Blanus rufus|Culebrilla ciega (Blanus rufus)|BLAVAN"_s,
        u"PSEPEN|Pseudemys peninsularis|Galápago de Florida peninsular|"_s,
        u"CHRPIC|Chrysemys picta|Galápago pintado|"_s,
        u"PANGUT|Pantherophis guttatus|Serpiente del maíz|"_s,
        u"PYTREG|Python regius|Pitón real|"_s,
        u"HEMMAB|Hemidactylus mabouia|Salamanquesa tropical|"_s,
        u"TEIDUG|Teira dugesii|Lagartija de Madeira|"_s,
        u"LITCAT|Lithobates catesbeianus|Rana toro|"_s,
        u"ALYALM|Alytes almogavarii|Sapo partero almogávar|"_s,
        u"PELHES|Pelodytes hespericus|Sapillo moteado mediterráneo|"_s,
        u"PSAEDW|Psammodromus edwarsianus|Lagartija de Edwards|"_s,
        u"PSAOCC|Psammodromus occidentalis|Lagartija occidental ibérica|"_s,
        u"TIMNEV|Timon nevadensis|Lagarto bético|"_s,
        u"IBEMAR|Iberolacerta martinezricai|Lagartija batueca|"_s,
    };
    for (const QString &e : especies)
        QCOMPARE(bd_.Valor(u"SELECT cod_especie || '|' || n_especie || '|' || n_cast || '|' || "
                           "ifnull(sinonimo_de, '') FROM especie WHERE cod_especie = ?"_s,
                           {e.section(u'|', 0, 0)})
                     .toString(),
                 e);
    // New lookup rows take new identifiers; the earlier ones keep theirs.
    for (const auto &[sql, esperado] :
         {std::pair{"SELECT estad_cast || '|' || clase FROM testadio WHERE id_estadio = 20",
                    "Adulto neoténico|Anfibio"},
          {"SELECT conduct_cast || '|' || clase FROM tconducta WHERE id_conducta = 25",
           "Cortejo|Anfibio"},
          {"SELECT group_concat(habitat, '|') FROM thabitat WHERE id_habitat > 35",
           "Acequia o canal|Seto|Cueva, mina o pozo"},
          {"SELECT (SELECT max(id_estadio) FROM testadio) || (SELECT estad_cast FROM testadio "
           "WHERE id_estadio = 19)",
           "20Indeterminado"},
          {"SELECT prov_cast || '|' || prov_ine FROM tprovincia WHERE id_prov = 3",
           "Alacant/Alicante|Alicante/Alacant"}})
        QCOMPARE(bd_.Valor(QString::fromUtf8(sql)).toString(), QString::fromUtf8(esperado));
}

QTEST_MAIN(tst_refdata)
#include "tst_refdata.moc"
