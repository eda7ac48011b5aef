/*
  exportador-cds: the tables of the clinic's management database that the exporter reads,
  and the two transmission registers it writes.

  This is the clinical system's schema as far as the exporter sees it; columns the exporter
  does not use are kept to a few that make the rows recognisable. The script has no
  CREATE DATABASE line: put one in front, with the database's character set, e.g.

      CREATE DATABASE '/var/lib/clinica/clinica.fdb' DEFAULT CHARACTER SET WIN1252;

  and run the whole with  isql-fb -q -ch UTF8 -i script.sql  (embedded: add -user SYSDBA).
  The file is UTF-8; "-ch UTF8" makes isql convert the accented texts of the demo data to
  the database's WIN1252. Without it the bytes would be stored unconverted.

  Conventions of the clinical system kept here:
  - Keys of citizens, households, professionals, episodes and meetings are INTEGER.
  - Unit codes (CODUNIDADE) are text: most are the unit's 7-digit CNES, some older units
    carry a short internal code, and the exporter tells them apart by their length.
  - Yes/no marks are text: "S"/"N" on care episodes, "Sim"/"Não" on registrations.
  - Coded answers of the registration forms are stored as the words the clinic's screens
    show ("Rede Geral", "Alvenaria com revestimento", ...).
  - There are no foreign keys: the clinical system has always kept episodes of deleted units
    and the like, and the exporter copes with rows whose partner row is missing.
*/

/* ---------- Places ---------- */

/* Municipalities, with their IBGE code and their number in the Correios' DNE. */
CREATE TABLE localidade (
    codigo      INTEGER NOT NULL PRIMARY KEY,
    nome        VARCHAR(60),
    uf          VARCHAR(2),
    codibge     VARCHAR(7),
    DNE         INTEGER
);

/* Postcodes (digits only) and the municipality each belongs to. */
CREATE TABLE cep (
    codcep          VARCHAR(9) NOT NULL PRIMARY KEY,
    codlocalidade   INTEGER,
    logradouro      VARCHAR(100)
);

/* Neighbourhoods of the municipality. */
CREATE TABLE bairros (
    codigo  INTEGER NOT NULL PRIMARY KEY,
    nome    VARCHAR(60)
);

/* Countries, keyed by the clinic's three-digit nationality code ("010" is Brazil), with the
   country code of e-SUS AB. */
CREATE TABLE paises (
    codigo      VARCHAR(3) NOT NULL PRIMARY KEY,
    nome        VARCHAR(60),
    codigoesus  INTEGER
);

/* ---------- Units, occupations, professionals ---------- */

/* Health units of the municipality: UBS, CRAS and the like. */
CREATE TABLE unidades (
    codigo  VARCHAR(7) NOT NULL PRIMARY KEY,
    nome    VARCHAR(80)
);

/* Occupations (CBO 2002), six digits. */
CREATE TABLE CBO (
    CODIGO      VARCHAR(6) NOT NULL PRIMARY KEY,
    DESCRICAO   VARCHAR(100)
);

/* Professionals: health card (CNS), occupation (CBO), team code (INE, ten digits) and the
   unit they work in. */
CREATE TABLE PROFISSIONAIS (
    CODIGO      INTEGER NOT NULL PRIMARY KEY,
    nome        VARCHAR(70),
    CNS         VARCHAR(15),
    CBO         VARCHAR(6),
    INE         VARCHAR(10),
    CODUNIDADE  VARCHAR(7)
);

/* ---------- Citizens and households ---------- */

/* Ethnic groups of indigenous citizens; the code is the one e-SUS AB expects. */
CREATE TABLE etnias (
    codigo  INTEGER NOT NULL PRIMARY KEY,
    nome    VARCHAR(60)
);

/* Kinds of disability, with the e-SUS AB code. */
CREATE TABLE deficiencias (
    codigo      INTEGER NOT NULL PRIMARY KEY,
    descricao   VARCHAR(60),
    codigoesus  INTEGER
);

/* Citizens. codtitular is the code of the household head (a head points at himself);
   raca holds the clinic's two-digit code ("01" white ... "05" indigenous); sexo the word
   ("MASCULINO", "FEMININO"). A citizen with datadesativado set has left the unit's care. */
CREATE TABLE pessoas (
    codigo                  INTEGER NOT NULL PRIMARY KEY,
    nome                    VARCHAR(70),
    dtnascimento            DATE,
    sexo                    VARCHAR(10),
    raca                    VARCHAR(2),
    etnia                   INTEGER,
    nomemae                 VARCHAR(70),
    nomepai                 VARCHAR(70),
    cartaosus               VARCHAR(20),
    nacionalidade           VARCHAR(3),
    naturalidade            VARCHAR(60),
    ufnaturalidade          VARCHAR(2),
    cepmunicnasc            VARCHAR(9),
    fone                    VARCHAR(20),
    FrequentaEscola         CHAR(1),
    coddeficiencia          INTEGER,
    codtitular              INTEGER,
    AREA                    INTEGER,
    microarea               INTEGER,
    codbairro               INTEGER,
    cepresidencia           VARCHAR(9),
    endereco                VARCHAR(100),
    endnum                  VARCHAR(10),
    profissionalresponsavel INTEGER,
    datadesativado          DATE
);

/* Health conditions declared in the citizen's registration, one row per citizen.
   The marks hold "Sim" or "Não"; PesoSituacao one of "Abaixo do Peso", "Peso Adequado",
   "Acima do Peso". */
CREATE TABLE PessoasCondSaude (
    codigo                  INTEGER NOT NULL PRIMARY KEY,
    Gestante                VARCHAR(3),
    MaternidadeReferencia   VARCHAR(80),
    PesoSituacao            VARCHAR(20),
    Fumante                 VARCHAR(3),
    UsaAlcool               VARCHAR(3),
    UsaDrogas               VARCHAR(3),
    Hipertenso              VARCHAR(3),
    Diabetes                VARCHAR(3),
    AVC                     VARCHAR(3),
    Infarto                 VARCHAR(3),
    DoencaCardiaca          VARCHAR(3),
    CardiacaInsuficiencia   VARCHAR(3),
    CardiacaOutra           VARCHAR(3),
    CardiacaNaoSabe         VARCHAR(3),
    ProblemasRins           VARCHAR(3),
    RenalInsuficiencia      VARCHAR(3),
    RenalOutra              VARCHAR(3),
    RenalNaoSabe            VARCHAR(3),
    DoencaPulmao            VARCHAR(3),
    PulmaoAsma              VARCHAR(3),
    PulmaoDpoc              VARCHAR(3),
    PulmaoOutra             VARCHAR(3),
    PulmaoNaoSabe           VARCHAR(3),
    Hanseniase              VARCHAR(3),
    Tuberculose             VARCHAR(3),
    Cancer                  VARCHAR(3),
    Internacao12Meses       VARCHAR(3),
    Internacao12MesesDesc   VARCHAR(100),
    ProblemaMental          VARCHAR(3),
    Acamado                 VARCHAR(3),
    Domiciliado             VARCHAR(3),
    PraticasComplementares  VARCHAR(3),
    PlantasMedicinais       VARCHAR(3),
    PlantasMedicinaisDesc   VARCHAR(100),
    condicoesSaude1         VARCHAR(100),
    condicoesSaude2         VARCHAR(100),
    condicoesSaude3         VARCHAR(100)
);

/* Households. The key is the code of the household's responsible person in pessoas; the
   members are the citizens whose codtitular is that code. The housing answers hold the
   words of the registration screen; the animal marks hold "Sim" or "Não". */
CREATE TABLE familias (
    codigo                  INTEGER NOT NULL PRIMARY KEY,
    abastecimentoagua       VARCHAR(30),
    TratamentoAgua          VARCHAR(30),
    destinolixo             VARCHAR(30),
    destinofezes            VARCHAR(30),
    sedeterreno             VARCHAR(10),
    propriterreno           VARCHAR(40),
    TipoHabitacao           VARCHAR(40),
    CasaPropria             VARCHAR(30),
    LuzEletrica             VARCHAR(3),
    LogradouroFrontal       VARCHAR(20),
    tipodomicilio           VARCHAR(20),
    numpecas                INTEGER,
    temgato                 VARCHAR(3),
    temcachorro             VARCHAR(3),
    tempassaro              VARCHAR(3),
    temoutros               VARCHAR(3),
    quantosanimais          INTEGER,
    profissionalresponsavel INTEGER
);

/* Transmission registers: whether a citizen's (household's) registration must be sent to
   e-SUS AB ("Sim"; the exporter writes "Não" once sent), the identifier of the last file
   sent, the day of that export and its transmission counter. The clinical system sets the
   mark; the exporter reads the row and writes it back after each file. The counter and the
   identifier are worked out from the row itself, so no generator is needed. */
CREATE TABLE pessoastransmissao (
    codigo                  INTEGER NOT NULL PRIMARY KEY,
    uuid                    VARCHAR(60),
    transmitiresus          VARCHAR(3),
    datatransmissaoesus     DATE,
    CodigoTransmissaoEsus   INTEGER
);

CREATE TABLE familiastransmissao (
    codigo                  INTEGER NOT NULL PRIMARY KEY,
    uuid                    VARCHAR(60),
    transmitiresus          VARCHAR(3),
    datatransmissaoesus     DATE,
    CodigoTransmissaoEsus   INTEGER
);

/* ---------- Care episodes (FAA: ficha de atendimento ambulatorial) ---------- */

/* Conducts at the end of an episode, with their e-SUS AB code. */
CREATE TABLE CONDUTAS (
    codigo      INTEGER NOT NULL PRIMARY KEY,
    descricao   VARCHAR(80),
    CODIGOESUS  VARCHAR(2)
);

/* SIGTAP procedures (ten digits), whether each is an exam, and the primary-care code
   (ABPG..., ABEX...) that e-SUS AB uses for it, when there is one. */
CREATE TABLE SUSPROCEDUNIF (
    CODIGO      VARCHAR(10) NOT NULL PRIMARY KEY,
    DESCRICAO   VARCHAR(100),
    ehexame     CHAR(1),
    CODPROCESUS VARCHAR(10)
);

/* Care episodes: one per attendance, numbered within the unit. ESPECIEATEND says what kind
   ("MEDICO", "ENFERMAGEM", "ODONTO", "VISITA"); CARATER the e-SUS kind of attendance
   ("7" and "8" are not exported); the "S"/"N" marks and the pregnancy data are those of
   the attendance screen; DESFECHOVISITA is the outcome code of a home visit. */
CREATE TABLE FAA (
    CODUNIDADE          VARCHAR(7) NOT NULL,
    NUMFAA              INTEGER NOT NULL,
    DATA                DATE,
    HORA                TIME,
    CODPESSOA           INTEGER,
    SEXO                VARCHAR(10),
    CODPROFISSIONAL     INTEGER,
    ESPECIEATEND        VARCHAR(12),
    CARATER             VARCHAR(2),
    CODCONDUTA          INTEGER,
    gestante            CHAR(1),
    DUM                 DATE,
    IDADEGEST           SMALLINT,
    GRAVIDEZPLAN        CHAR(1),
    NUMGESTPREVIAS      SMALLINT,
    NUMPARTOS           SMALLINT,
    ALEITMATERNO        SMALLINT,
    VACINAEMDIA         CHAR(1),
    FICOUOBS            CHAR(1),
    DESFECHOATDOMIC     VARCHAR(2),
    PCD                 CHAR(1),
    TIPOCONSULTAODONTO  VARCHAR(2),
    DESFECHOVISITA      VARCHAR(2),
    CONSTRAINT PK_FAA PRIMARY KEY (CODUNIDADE, NUMFAA)
);

/* Triage of an episode, or of a participant at a group meeting (ID_ENCONTRO, CODPESSOA):
   weight in kg, height in cm or m (both forms were typed over the years), head
   circumference (pc) in cm, temperature in °C; AVALTERADA marks an altered evaluation
   ("S"; some old rows hold "X"). */
CREATE TABLE TRIAGENS (
    CODIGO      INTEGER GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,
    CODUNIDADE  VARCHAR(7),
    NUMFAA      INTEGER,
    ID_ENCONTRO INTEGER,
    CODPESSOA   INTEGER,
    PESO        DOUBLE PRECISION,
    ALTURA      DOUBLE PRECISION,
    pc          DOUBLE PRECISION,
    TEMPERATURA DOUBLE PRECISION,
    PRESSAO     VARCHAR(7),
    AVALTERADA  CHAR(1)
);

/* Kinds of help asked for in an episode (referrals, auxiliary services). */
CREATE TABLE SOLICPROCEDS (
    CODUNIDADE      VARCHAR(7),
    NUMFAA          INTEGER,
    CODTIPOAUXILIO  INTEGER
);

/* ICPC-2 (CIAP) codes of an episode, e-SUS "ABP..." codes included; "X" and "XXX" are
   what the screen stores when nothing was chosen. */
CREATE TABLE FAACIAPS (
    CODUNIDADE  VARCHAR(7),
    NUMFAA      INTEGER,
    CODCIAP     VARCHAR(7)
);

/* ICD-10 codes of an episode, written with the dot ("J45.9"). */
CREATE TABLE FAACID (
    CODUNIDADE  VARCHAR(7),
    NUMFAA      INTEGER,
    CODCID      VARCHAR(6)
);

/* Procedures and exams of an episode (SIGTAP code), with who did them, how many, and for
   exams whether they were asked for and/or evaluated ("S"). */
CREATE TABLE FAAPROCED (
    CODIGO          INTEGER GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,
    CODUNIDADE      VARCHAR(7),
    NUMFAA          INTEGER,
    CODPROCEDUNIF   VARCHAR(10),
    QUANTIDADE      INTEGER,
    CODPROFISSIONAL INTEGER,
    ExameSolicitado CHAR(1),
    ExameAvaliado   CHAR(1)
);

/* Dental supplies handed out in an episode (e-SUS AB codes). */
CREATE TABLE FAAFORNECIMENTOS (
    CODUNIDADE  VARCHAR(7),
    NUMFAA      INTEGER,
    CODFORNEC   INTEGER
);

/* Oral-health surveillance findings of an episode (e-SUS AB codes). */
CREATE TABLE FAAVIGBUCAL (
    CODUNIDADE  VARCHAR(7),
    NUMFAA      INTEGER,
    CODVIGBUCAL INTEGER
);

/* Reasons of a home visit (e-SUS AB codes). */
CREATE TABLE FAAMOTVISITAS (
    CODUNIDADE  VARCHAR(7),
    NUMFAA      INTEGER,
    CODMOTIVO   INTEGER
);

/* ---------- Groups and their meetings ---------- */

/* Risk groups (hypertensives, pregnant women, a school's pupils ...): the responsible
   professional and, for groups held at a school, the school's INEP code. */
CREATE TABLE GRUPOSDERISCO (
    SIGLA               VARCHAR(10) NOT NULL PRIMARY KEY,
    nome                VARCHAR(80),
    CODPROFRESPONSAVEL  INTEGER,
    INEP                VARCHAR(8)
);

/* Meetings of a group: day, shift ("Manhã", "Tarde", "Noite"), the e-SUS kind of collective
   activity, participants counted and planned. */
CREATE TABLE ENCONTROSGRUPOS (
    ID_ENCONTRO         INTEGER NOT NULL PRIMARY KEY,
    SIGLAGRUPO          VARCHAR(10),
    DATA                DATE,
    turno               VARCHAR(10),
    TIPOATIVCOLETIVA    SMALLINT,
    PARTICIPANTES       INTEGER,
    PARTICPROGRAMADO    INTEGER
);

/* Professionals at a meeting and the SIGTAP procedure each carried out there. */
CREATE TABLE ENCONTROS_PROFISSIONAIS (
    ID_ENCONTRO     INTEGER,
    codprofissional INTEGER,
    codprocedimento VARCHAR(10)
);

/* Themes of a team meeting (e-SUS AB codes). */
CREATE TABLE ENCONTROS_TEMA (
    ID_ENCONTRO INTEGER,
    codtema     INTEGER
);

/* Target audience of a meeting (e-SUS AB codes). */
CREATE TABLE ENCONTROS_PUBLICO (
    ID_ENCONTRO INTEGER,
    codpublico  INTEGER
);

/* Health themes and practices of a meeting (e-SUS AB codes; 30 is a health practice
   that carries a procedure). */
CREATE TABLE ENCONTROS_TEMASAUDE (
    ID_ENCONTRO INTEGER,
    codtema     INTEGER
);

/* Attendance list of a meeting: "P" present, "F" absent. */
CREATE TABLE PRESENCAENCONTROS (
    ID_ENCONTRO INTEGER,
    CODPESSOA   INTEGER,
    PRESENCA    CHAR(1)
);

/* The look-ups of an export go by episode, by meeting and by household head. */
CREATE INDEX IX_FAA_DATA ON FAA (DATA);
CREATE INDEX IX_TRIAGENS_FAA ON TRIAGENS (CODUNIDADE, NUMFAA);
CREATE INDEX IX_TRIAGENS_ENCONTRO ON TRIAGENS (ID_ENCONTRO, CODPESSOA);
CREATE INDEX IX_SOLICPROCEDS_FAA ON SOLICPROCEDS (CODUNIDADE, NUMFAA);
CREATE INDEX IX_FAACIAPS_FAA ON FAACIAPS (CODUNIDADE, NUMFAA);
CREATE INDEX IX_FAACID_FAA ON FAACID (CODUNIDADE, NUMFAA);
CREATE INDEX IX_FAAPROCED_FAA ON FAAPROCED (NUMFAA, CODUNIDADE);
CREATE INDEX IX_FAAFORNECIMENTOS_FAA ON FAAFORNECIMENTOS (NUMFAA, CODUNIDADE);
CREATE INDEX IX_FAAVIGBUCAL_FAA ON FAAVIGBUCAL (NUMFAA, CODUNIDADE);
CREATE INDEX IX_FAAMOTVISITAS_FAA ON FAAMOTVISITAS (NUMFAA, CODUNIDADE);
CREATE INDEX IX_PESSOAS_TITULAR ON pessoas (codtitular);
CREATE INDEX IX_ENCONTROSGRUPOS_DATA ON ENCONTROSGRUPOS (DATA);
CREATE INDEX IX_ENC_PROFISSIONAIS ON ENCONTROS_PROFISSIONAIS (ID_ENCONTRO);
CREATE INDEX IX_ENC_TEMA ON ENCONTROS_TEMA (ID_ENCONTRO);
CREATE INDEX IX_ENC_PUBLICO ON ENCONTROS_PUBLICO (ID_ENCONTRO);
CREATE INDEX IX_ENC_TEMASAUDE ON ENCONTROS_TEMASAUDE (ID_ENCONTRO);
CREATE INDEX IX_PRESENCAENCONTROS ON PRESENCAENCONTROS (ID_ENCONTRO, CODPESSOA);

COMMIT;
