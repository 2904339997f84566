-- Tritodex database. Text keys compare ignoring case (NOCASE is replaced by a
-- Unicode-aware version on the program's connection, so Ávila equals ávila).
-- Dates are ISO text yyyy-mm-dd, times hh:mm.

CREATE TABLE observador (
    cod_observador TEXT NOT NULL COLLATE NOCASE PRIMARY KEY,
    nombre         TEXT COLLATE NOCASE,
    apellido       TEXT COLLATE NOCASE,
    entidad        TEXT COLLATE NOCASE,
    email          TEXT COLLATE NOCASE,
    provincia      TEXT COLLATE NOCASE,
    generacion     TEXT
);

CREATE TABLE DefaultObs (
    cd_obs TEXT NOT NULL DEFAULT '' COLLATE NOCASE
);
INSERT INTO DefaultObs (cd_obs) VALUES ('');

-- The identifier of the dataset this database publishes (a random UUID), the same in every
-- export; one row, made by the first export.
CREATE TABLE conjunto_datos (
    uuid TEXT NOT NULL
);

CREATE TABLE localidad (
    id_localidad  INTEGER PRIMARY KEY AUTOINCREMENT,
    cod_localidad TEXT NOT NULL COLLATE NOCASE UNIQUE,
    localidad     TEXT COLLATE NOCASE,
    prov          INTEGER,
    muni          INTEGER,
    utmx          INTEGER,
    utmy          INTEGER,
    utmhuso       TEXT,
    utm1k         TEXT COLLATE NOCASE,
    utm10k        TEXT COLLATE NOCASE,
    incertidumbre INTEGER
);
CREATE INDEX localidad_nombre ON localidad (localidad);
CREATE INDEX localidad_prov ON localidad (prov);
CREATE INDEX localidad_utm10k ON localidad (utm10k);

CREATE TABLE observacion (
    id_observacion INTEGER PRIMARY KEY AUTOINCREMENT,
    observador1    TEXT COLLATE NOCASE,
    observador2    TEXT COLLATE NOCASE,
    observador3    TEXT COLLATE NOCASE,
    observador4    TEXT COLLATE NOCASE,
    fecha          TEXT,
    horaini        TEXT,
    horafin        TEXT,
    periodo        INTEGER,
    meteo          INTEGER,
    viento         INTEGER,
    especie        TEXT COLLATE NOCASE,
    numejemp       INTEGER,
    numaprox       INTEGER,
    estadio        INTEGER,
    conducta       INTEGER,
    descripcion    TEXT,
    motivo         TEXT,
    habitat        INTEGER,
    localidad      TEXT COLLATE NOCASE,
    -- Stable identifier of the record for published datasets (a random UUID), set on insert.
    uuid           TEXT,
    -- The check before the record leaves: aceptada, dudosa or rechazada (null: not yet), by
    -- whom (an observer's code), when (ISO date and time) and why.
    verificacion            TEXT,
    verificador             TEXT,
    fecha_verificacion      TEXT,
    comentario_verificacion TEXT
);
CREATE TRIGGER observacion_uuid AFTER INSERT ON observacion WHEN NEW.uuid IS NULL
BEGIN
    UPDATE observacion SET uuid = lower(hex(randomblob(4)) || '-' || hex(randomblob(2)) || '-4' ||
        substr(hex(randomblob(2)), 2) || '-' || substr('89ab', 1 + abs(random()) % 4, 1) ||
        substr(hex(randomblob(2)), 2) || '-' || hex(randomblob(6)))
    WHERE id_observacion = NEW.id_observacion; END;
CREATE UNIQUE INDEX observacion_uuid ON observacion (uuid);
-- A change to an accepted record's values puts it back to not yet verified.
CREATE TRIGGER observacion_verificacion AFTER UPDATE ON observacion
WHEN OLD.verificacion = 'aceptada' AND NEW.verificacion IS OLD.verificacion AND (
    NEW.observador1 IS NOT OLD.observador1 OR NEW.observador2 IS NOT OLD.observador2 OR
    NEW.observador3 IS NOT OLD.observador3 OR NEW.observador4 IS NOT OLD.observador4 OR
    NEW.fecha IS NOT OLD.fecha OR NEW.horaini IS NOT OLD.horaini OR
    NEW.horafin IS NOT OLD.horafin OR NEW.periodo IS NOT OLD.periodo OR
    NEW.meteo IS NOT OLD.meteo OR NEW.viento IS NOT OLD.viento OR
    NEW.especie IS NOT OLD.especie OR NEW.numejemp IS NOT OLD.numejemp OR
    NEW.numaprox IS NOT OLD.numaprox OR NEW.estadio IS NOT OLD.estadio OR
    NEW.conducta IS NOT OLD.conducta OR NEW.descripcion IS NOT OLD.descripcion OR
    NEW.motivo IS NOT OLD.motivo OR NEW.habitat IS NOT OLD.habitat OR
    NEW.localidad IS NOT OLD.localidad)
BEGIN
    UPDATE observacion SET verificacion = NULL, verificador = NULL, fecha_verificacion = NULL,
        comentario_verificacion = NULL WHERE id_observacion = NEW.id_observacion; END;
CREATE INDEX observacion_verificada ON observacion (verificacion);
CREATE INDEX observacion_fecha ON observacion (fecha);
CREATE INDEX observacion_observador1 ON observacion (observador1);
CREATE INDEX observacion_especie ON observacion (especie);
CREATE INDEX observacion_localidad ON observacion (localidad);

-- The photographs of observations. The picture is kept once under the SHA-256 of its bytes
-- (in the folder fotos/ beside the database file); fecha as the camera wrote it, ISO 8601 with
-- its offset when known; the position in WGS84 degrees, its uncertainty in metres.
CREATE TABLE foto (
    id_foto       INTEGER PRIMARY KEY AUTOINCREMENT,
    observacion   INTEGER NOT NULL,
    sha256        TEXT NOT NULL,
    nombre        TEXT,
    fecha         TEXT,
    latitud       DOUBLE PRECISION,
    longitud      DOUBLE PRECISION,
    incertidumbre DOUBLE PRECISION,
    autor         TEXT,
    licencia      TEXT,
    orden         INTEGER NOT NULL
);
CREATE INDEX foto_observacion ON foto (observacion);
CREATE INDEX foto_sha256 ON foto (sha256);

-- The bin: deleted observations as they were stored, identifier and UUID included, until
-- they are restored or emptied for good; borrada is when (ISO date and time), borrada_por
-- who (the server's login; empty on a file). Their photos' rows wait beside them, and the
-- pictures stay kept.
CREATE TABLE papelera (
    id_observacion INTEGER PRIMARY KEY,
    observador1    TEXT COLLATE NOCASE,
    observador2    TEXT COLLATE NOCASE,
    observador3    TEXT COLLATE NOCASE,
    observador4    TEXT COLLATE NOCASE,
    fecha          TEXT,
    horaini        TEXT,
    horafin        TEXT,
    periodo        INTEGER,
    meteo          INTEGER,
    viento         INTEGER,
    especie        TEXT COLLATE NOCASE,
    numejemp       INTEGER,
    numaprox       INTEGER,
    estadio        INTEGER,
    conducta       INTEGER,
    descripcion    TEXT,
    motivo         TEXT,
    habitat        INTEGER,
    localidad      TEXT COLLATE NOCASE,
    uuid           TEXT,
    verificacion            TEXT,
    verificador             TEXT,
    fecha_verificacion      TEXT,
    comentario_verificacion TEXT,
    borrada        TEXT NOT NULL,
    borrada_por    TEXT
);
CREATE INDEX papelera_borrada ON papelera (borrada);
CREATE TABLE papelera_foto (
    id_foto       INTEGER PRIMARY KEY,
    observacion   INTEGER NOT NULL,
    sha256        TEXT NOT NULL,
    nombre        TEXT,
    fecha         TEXT,
    latitud       DOUBLE PRECISION,
    longitud      DOUBLE PRECISION,
    incertidumbre DOUBLE PRECISION,
    autor         TEXT,
    licencia      TEXT,
    orden         INTEGER NOT NULL
);
CREATE INDEX papelera_foto_observacion ON papelera_foto (observacion);
CREATE INDEX papelera_foto_sha256 ON papelera_foto (sha256);

-- Reference tables.
CREATE TABLE especie (
    cod_especie TEXT NOT NULL COLLATE NOCASE PRIMARY KEY,
    n_especie   TEXT COLLATE NOCASE,
    n_cast      TEXT COLLATE NOCASE,
    clase       TEXT COLLATE NOCASE,
    -- An older code kept for the observations that use it: the accepted species' code.
    -- Such codes are not offered for new records.
    sinonimo_de TEXT COLLATE NOCASE,
    -- 1: records published only at their 10-km square, without the place's name.
    sensible    INTEGER NOT NULL DEFAULT 0
);
-- Every name a species is known by: scientific (accepted and older), Spanish and regional
-- common names. tipo: cientifico, sinonimo, castellano, castellano_otro, catalan, gallego,
-- euskera.
CREATE TABLE especie_nombre (
    cod_especie TEXT NOT NULL COLLATE NOCASE,
    nombre      TEXT NOT NULL,
    tipo        TEXT NOT NULL,
    fuente      TEXT
);
CREATE INDEX especie_nombre_especie ON especie_nombre (cod_especie);
CREATE TABLE testadio (
    id_estadio INTEGER PRIMARY KEY,
    estad_cast TEXT COLLATE NOCASE,
    clase      TEXT COLLATE NOCASE
);
CREATE TABLE tconducta (
    id_conducta  INTEGER PRIMARY KEY,
    conduct_cast TEXT COLLATE NOCASE,
    clase        TEXT COLLATE NOCASE
);
CREATE TABLE thabitat (
    id_habitat INTEGER PRIMARY KEY,
    habitat    TEXT COLLATE NOCASE
);
CREATE TABLE tmeteo (
    id_meteo   INTEGER PRIMARY KEY,
    meteo_cast TEXT COLLATE NOCASE
);
CREATE TABLE tperiodo (
    id_periodo  INTEGER PRIMARY KEY,
    period_cast TEXT COLLATE NOCASE
);
CREATE TABLE tbeaufort (
    id_beaufort INTEGER PRIMARY KEY,
    viento      TEXT COLLATE NOCASE,
    velocidad   TEXT
);
CREATE TABLE motivo (
    id_motivo   INTEGER PRIMARY KEY AUTOINCREMENT,
    motivo_cast TEXT COLLATE NOCASE,
    descripcion TEXT
);
CREATE TABLE tprovincia (
    id_prov   INTEGER PRIMARY KEY,
    prov_cast TEXT COLLATE NOCASE,
    prov_ine  TEXT -- as the statistics institute writes it, for exports that need it
);
CREATE TABLE tmunicipio (
    id_muni INTEGER PRIMARY KEY,
    muni    TEXT COLLATE NOCASE,
    prov    INTEGER
);
CREATE INDEX tmunicipio_prov ON tmunicipio (prov);
CREATE INDEX tmunicipio_muni ON tmunicipio (muni);
CREATE TABLE tutm10kprovincia (
    utm10   TEXT COLLATE NOCASE,
    id_prov INTEGER
);
CREATE INDEX tutm10kprovincia_utm10 ON tutm10kprovincia (utm10);
CREATE INDEX tutm10kprovincia_prov ON tutm10kprovincia (id_prov);
CREATE TABLE tutm10kmunis (
    utm10   TEXT COLLATE NOCASE,
    id_muni INTEGER
);
CREATE INDEX tutm10kmunis_utm10 ON tutm10kmunis (utm10);
CREATE INDEX tutm10kmunis_muni ON tutm10kmunis (id_muni);
CREATE TABLE tutm100keste (
    huso    TEXT,
    utmxmin INTEGER,
    utm100e TEXT
);
CREATE TABLE tutm100knorte (
    huso    TEXT,
    utmymin INTEGER,
    utm100n TEXT
);
