#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "fichas/cenario.hpp"
#include "suporte/clinica.hpp"

namespace cds {
namespace {

using teste::CenarioFichas;
using teste::valorDe;
using teste::valoresDe;

class AtividadeColetivaTest : public ::testing::Test {
  protected:
    void SetUp() override {
        teste::insereClinica(c.banco);
        // The nurse technician responsible for the hypertensives, of another unit than the one
        // typed, whose occupation e-SUS AB knows as 223505.
        insereProfissional(30, "Enf. Rita", "700000000000030", "322245", "'789'", "'7654321'");
        insereGrupo("HIPER", "30", "NULL");
    }

    void insereProfissional(int codigo, const std::string& nome, const std::string& cns,
                            const std::string& cbo, const std::string& ine = "'789'",
                            const std::string& unidade = "'2345678'") {
        c.banco.executa(
            "INSERT INTO PROFISSIONAIS (CODIGO, nome, CNS, CBO, INE, CODUNIDADE) VALUES (" +
            std::to_string(codigo) + ", '" + nome + "', '" + cns + "', '" + cbo + "', " + ine +
            ", " + unidade + ")");
    }

    void insereGrupo(const std::string& sigla, const std::string& responsavel,
                     const std::string& inep) {
        c.banco.executa(
            "INSERT INTO GRUPOSDERISCO (SIGLA, nome, CODPROFRESPONSAVEL, INEP) VALUES ('" + sigla +
            "', 'Grupo " + sigla + "', " + responsavel + ", " + inep + ")");
    }

    // A meeting on 15/10/2019 with one health theme, so that it is selected.
    void insereEncontro(int id, const std::string& tipo = "5", const std::string& grupo = "HIPER",
                        const std::string& turno = "'Manhã'",
                        const std::string& participantes = "12",
                        const std::string& data = "2019-10-15", bool comTemaSaude = true) {
        c.banco.executa(
            "INSERT INTO ENCONTROSGRUPOS (ID_ENCONTRO, SIGLAGRUPO, DATA, turno, TIPOATIVCOLETIVA, "
            "PARTICIPANTES, PARTICPROGRAMADO) VALUES (" +
            std::to_string(id) + ", '" + grupo + "', '" + data + "', " + turno + ", " + tipo +
            ", " + participantes + ", 20)");
        if (comTemaSaude) insereCodigos("ENCONTROS_TEMASAUDE", "codtema", id, {1});
    }

    void insereCodigos(const std::string& tabela, const std::string& coluna, int id,
                       const std::vector<int>& codigos) {
        for (int codigo : codigos)
            c.banco.executa("INSERT INTO " + tabela + " (ID_ENCONTRO, " + coluna + ") VALUES (" +
                            std::to_string(id) + ", " + std::to_string(codigo) + ")");
    }

    void insereProfissionalNoEncontro(int id, int profissional,
                                      const std::string& procedimento = "NULL") {
        c.banco.executa(
            "INSERT INTO ENCONTROS_PROFISSIONAIS (ID_ENCONTRO, codprofissional, codprocedimento) "
            "VALUES (" +
            std::to_string(id) + ", " + std::to_string(profissional) + ", " + procedimento + ")");
    }

    void insereCidadao(int codigo, const std::string& cartao, const std::string& nascimento,
                       const std::string& sexo) {
        c.banco.executa(
            "INSERT INTO pessoas (codigo, nome, dtnascimento, sexo, cartaosus) VALUES (" +
            std::to_string(codigo) + ", 'Cidadão " + std::to_string(codigo) + "', " + nascimento +
            ", " + sexo + ", " + cartao + ")");
    }

    void inserePresenca(int id, int pessoa, const std::string& presenca = "'P'") {
        c.banco.executa(
            "INSERT INTO PRESENCAENCONTROS (ID_ENCONTRO, CODPESSOA, PRESENCA) VALUES (" +
            std::to_string(id) + ", " + std::to_string(pessoa) + ", " + presenca + ")");
    }

    void insereTriagem(int id, int pessoa, const std::string& peso, const std::string& altura,
                       const std::string& avaliacao) {
        c.banco.executa(
            "INSERT INTO TRIAGENS (ID_ENCONTRO, CODPESSOA, PESO, ALTURA, AVALTERADA) VALUES (" +
            std::to_string(id) + ", " + std::to_string(pessoa) + ", " + peso + ", " + altura +
            ", " + avaliacao + ")");
    }

    std::string encontro(int id) {
        return c.arquivo("FichaAtivColetiva_" + std::to_string(id) + ".esus.xml");
    }

    std::set<std::string> nomesListados() const {
        std::set<std::string> nomes;
        for (const auto& p : c.caminhosListados())
            nomes.insert(std::filesystem::path(p).filename().string());
        return nomes;
    }

    CenarioFichas c;
};

// The participant block of a record holding this card number, from its first line on; empty
// when the card is not listed.
std::string blocoDoParticipante(const std::string& registro, const std::string& cartao) {
    const auto inicio = registro.find("<cnsParticipante>" + cartao + "</cnsParticipante>");
    if (inicio == std::string::npos) return {};
    const auto abertura = registro.rfind("<participantes>", inicio);
    return registro.substr(abertura, registro.find("</participantes>", inicio) - abertura);
}

TEST_F(AtividadeColetivaTest, FichaCompletaIgualAoEsperado) {
    insereEncontro(77, "5", "HIPER", "'Manhã'", "12", "2019-10-15", false);
    // A CNS one digit short is skipped; the responsible is among the professionals.
    insereProfissional(31, "Dr. Curto", "70000000000003", "225142");
    insereProfissionalNoEncontro(77, 10, "'0101010044'");
    insereProfissionalNoEncontro(77, 31);
    insereProfissionalNoEncontro(77, 30);
    insereCodigos("ENCONTROS_TEMA", "codtema", 77, {7});
    insereCodigos("ENCONTROS_PUBLICO", "codpublico", 77, {9, 3});
    insereCodigos("ENCONTROS_TEMASAUDE", "codtema", 77, {1, 2, 30, 14});
    insereCidadao(201, "'898000000000201'", "'1990-01-01'", "'Masculino'");
    insereCidadao(202, "'898000000000202'", "NULL", "' feminino '");
    insereCidadao(205, "'898000000000205'", "'1990-01-01'", "'FEMININO'");
    insereCidadao(206, "'898000000000206'", "'1990-01-01'", "NULL");
    inserePresenca(77, 201);
    inserePresenca(77, 202);
    inserePresenca(77, 205, "'F'");
    inserePresenca(77, 206, "'p'");
    insereTriagem(77, 201, "72.4", "170", "'S'");
    insereTriagem(77, 202, "0.5", "1.625", "'s'");
    insereTriagem(77, 205, "60", "160", "'X'");
    Execucao& ex = c.gera(TipoFicha::AtividadeColetiva);

    EXPECT_EQ(encontro(77), teste::leDadoEsperado("FichaAtivColetiva_77.esus.xml"));
    const std::vector<ArquivoGerado> listados = {
        {ex.caminhoArquivo("FichaAtivColetiva_77.esus.xml"), TipoFicha::AtividadeColetiva}};
    EXPECT_EQ(ex.ListaArquivos, listados);
    EXPECT_EQ(c.operador.statusTextos(),
              std::vector<std::string>{"Gerando Fichas de Atividades Coletivas..."});
    EXPECT_TRUE(ex.LogExecucao.empty());
    EXPECT_EQ(teste::errosDeLeiaute(ex.ListaArquivos[0].caminho), "");
}

// Team themes for types 1 to 3, the audience for any other; participants for 5 and 6; health
// themes for 4, 5 and 7 and practices for 6, each list keeping its own codes. A meeting
// without a type has no atividadeTipo line, where an empty one would lose the record.
TEST_F(AtividadeColetivaTest, BlocosPorTipoDeAtividade) {
    struct Caso {
        const char* tipo;
        std::optional<std::string> atividadeTipo;
        std::vector<std::string> temas, publico;
        std::size_t participantes;
        std::vector<std::string> temasSaude, praticas;
    };
    const Caso casos[] = {
        {"1", "1", {"7"}, {}, 0, {}, {}},
        {"2", "2", {"7"}, {}, 0, {}, {}},
        {"3", "3", {"7"}, {}, 0, {}, {}},
        {"4", "4", {}, {"9"}, 0, {"1"}, {}},
        {"5", "5", {}, {"9"}, 1, {"1"}, {}},
        {"6", "6", {}, {"9"}, 1, {}, {"2", "30"}},
        {"7", "7", {}, {"9"}, 0, {"1"}, {}},
        {"8", "8", {}, {"9"}, 0, {}, {}},
        {"NULL", std::nullopt, {}, {"9"}, 0, {}, {}},
    };
    insereCidadao(201, "'898000000000201'", "'1990-01-01'", "'MASCULINO'");
    int id = 0;
    for (const auto& caso : casos) {
        insereEncontro(++id, caso.tipo, "HIPER", "'Manhã'", "12", "2019-10-15", false);
        insereCodigos("ENCONTROS_TEMA", "codtema", id, {7});
        insereCodigos("ENCONTROS_PUBLICO", "codpublico", id, {9});
        insereCodigos("ENCONTROS_TEMASAUDE", "codtema", id, {1, 2, 30});
        inserePresenca(id, 201);
    }
    c.gera(TipoFicha::AtividadeColetiva);
    id = 0;
    for (const auto& caso : casos) {
        const std::string ficha = encontro(++id);
        SCOPED_TRACE(caso.tipo);
        EXPECT_EQ(valorDe(ficha, "atividadeTipo"), caso.atividadeTipo);
        EXPECT_EQ(valoresDe(ficha, "temasParaReuniao"), caso.temas);
        EXPECT_EQ(valoresDe(ficha, "publicoAlvo"), caso.publico);
        EXPECT_EQ(valoresDe(ficha, "cnsParticipante").size(), caso.participantes);
        EXPECT_EQ(valoresDe(ficha, "temasParaSaude"), caso.temasSaude);
        EXPECT_EQ(valoresDe(ficha, "praticasEmSaude"), caso.praticas);
    }
}

// A school's INEP, or else the unit where the meeting took place. An INEP of blanks names no
// school: the meeting goes by its unit, where a blank inep would make the importer refuse it.
// The unit is the responsible's when it is seven characters long, else the one typed; a
// responsible without a team code, or no responsible at all, is reported and the file written.
TEST_F(AtividadeColetivaTest, InepUnidadeEResponsavel) {
    insereProfissional(32, "Dr. Posto Rural", "700000000000032", "225142", "NULL", "'45'");
    insereGrupo("ESCOLA", "30", "'22012345'");
    insereGrupo("BRANCOS", "30", "'   '");
    insereGrupo("RURAL", "32", "NULL");
    insereGrupo("IDOSOS", "NULL", "NULL");
    struct Caso {
        int id;
        const char* grupo;
        std::optional<std::string> inep, cnesLocal;
        std::string cnes, cnsResponsavel;
    };
    const Caso casos[] = {
        {1, "ESCOLA", "22012345", std::nullopt, "7654321", "700000000000030"},
        {2, "HIPER", std::nullopt, "7654321", "7654321", "700000000000030"},
        {3, "BRANCOS", std::nullopt, "7654321", "7654321", "700000000000030"},
        {4, "RURAL", std::nullopt, "0012345", "0012345", "700000000000032"},
        {5, "IDOSOS", std::nullopt, "0012345", "0012345", ""},
    };
    for (const auto& caso : casos)
        insereEncontro(caso.id, "4", caso.grupo, "'Tarde'", "12",
                       "2019-10-1" + std::to_string(caso.id));
    c.parametros.Unidade = "12345";
    Execucao& ex = c.gera(TipoFicha::AtividadeColetiva);
    for (const auto& caso : casos) {
        const std::string ficha = encontro(caso.id);
        SCOPED_TRACE(caso.grupo);
        EXPECT_EQ(valorDe(ficha, "inep"), caso.inep);
        EXPECT_EQ(valorDe(ficha, "cnesLocalAtividade"), caso.cnesLocal);
        EXPECT_EQ(valorDe(ficha, "cnes"), caso.cnes);
        EXPECT_EQ(valorDe(ficha, "cnesDadoSerializado"), "12345");
        EXPECT_EQ(valorDe(ficha, "profissionalCNS"), caso.cnsResponsavel);
        // The responsible is listed among the professionals, even without a CNS.
        EXPECT_EQ(valoresDe(ficha, "cnsProfissional"),
                  std::vector<std::string>{caso.cnsResponsavel});
        EXPECT_EQ(
            teste::errosDeLeiaute(c.pasta.caminho() / "arquivosXML" /
                                  ("FichaAtivColetiva_" + std::to_string(caso.id) + ".esus.xml")),
            "");
    }
    EXPECT_EQ(valorDe(encontro(4), "ine"), std::nullopt);
    EXPECT_EQ(valorDe(encontro(5), "ine"), std::nullopt);
    const std::vector<std::string> avisos = {"Dr. Posto Rural - INE não cadastrado!",
                                             " - INE não cadastrado!"};
    EXPECT_EQ(ex.ErrosCadastro, avisos);
    EXPECT_EQ(ex.LogExecucao, avisos);
    EXPECT_EQ(ex.ListaArquivos.size(), 5u);
    // Each is its record's warning in the report.
    EXPECT_EQ(c.ocorrencias.de(SituacaoRegistro::GravadoComAviso),
              (std::vector<std::string>{"4|" + avisos[0], "5|" + avisos[1]}));
}

// Professionals with a 15-character CNS and a 6-character CBO are listed, in the order of their
// codes; the responsible comes last unless already listed with the same CNS and CBO.
TEST_F(AtividadeColetivaTest, ProfissionaisEResponsavel) {
    insereProfissional(31, "Dr. Curto", "70000000000003", "225142");
    insereProfissional(33, "Rita, como médica", "700000000000030", "225142");
    insereProfissional(34, "Dr. CBO curto", "700000000000034", "22514");
    insereGrupo("IDOSOS", "NULL", "NULL");
    struct Caso {
        const char* grupo;
        std::vector<int> profissionais;
        std::vector<std::string> cns, cbo;
    };
    const Caso casos[] = {
        {"HIPER", {10, 30}, {"700000000000001", "700000000000030"}, {"225142", "223505"}},
        // In the order of the professionals' codes, whatever the order they were recorded in.
        {"HIPER", {30, 10}, {"700000000000001", "700000000000030"}, {"225142", "223505"}},
        {"HIPER", {10}, {"700000000000001", "700000000000030"}, {"225142", "223505"}},
        {"HIPER", {33}, {"700000000000030", "700000000000030"}, {"225142", "223505"}},
        {"HIPER", {31, 34}, {"700000000000030"}, {"223505"}},
        {"IDOSOS", {10}, {"700000000000001", ""}, {"225142", ""}},
    };
    int id = 0;
    for (const auto& caso : casos) {
        insereEncontro(++id, "4", caso.grupo);
        for (int p : caso.profissionais) insereProfissionalNoEncontro(id, p);
    }
    c.gera(TipoFicha::AtividadeColetiva);
    id = 0;
    for (const auto& caso : casos) {
        const std::string ficha = encontro(++id);
        SCOPED_TRACE(id);
        EXPECT_EQ(valoresDe(ficha, "cnsProfissional"), caso.cns);
        EXPECT_EQ(valoresDe(ficha, "codigoCbo2002"), caso.cbo);
    }
}

// Who is listed, and each one's evaluation, measurements, sex and birth date.
TEST_F(AtividadeColetivaTest, ParticipantesETriagem) {
    struct Caso {
        int pessoa;
        const char* cartao;
        const char* presenca;
        const char* nascimento;
        const char* sexo;
        std::optional<std::vector<const char*>> triagem;  // peso, altura, AvAlterada
        bool listado;
        std::string avaliacao;
        std::optional<std::string> peso, altura, dataNascimento;
        std::string sexoEsperado;
    };
    const Caso casos[] = {
        {301, "898000000000301", "'P'", "'1990-01-01'", "'MASCULINO'",
         std::vector<const char*>{"0.5", "20", "'S'"}, true, "true", std::nullopt, "00020",
         "631188001000", "0"},
        {302, "898000000000302", "'P'", "NULL", "' Feminino '",
         std::vector<const char*>{"500", "250", "'X'"}, true, "true", std::nullopt, "00250",
         std::nullopt, "1"},
        {303, "898000000000303", "'P'", "'1990-01-01'", "'Outro'",
         std::vector<const char*>{"0.6", "2.5", "'s'"}, true, "false", "1", std::nullopt,
         "631188001000", "4"},
        {304, "898000000000304", "'P'", "'1990-01-01'", "NULL",
         std::vector<const char*>{"72.4", "0.2", "'N'"}, true, "false", "72", std::nullopt,
         "631188001000", "4"},
        {305, "898000000000305", "'P'", "'1990-01-01'", "'masculino'",
         std::vector<const char*>{"72.5", "1.7", "NULL"}, true, "false", "73", "00170",
         "631188001000", "0"},
        {306, "898000000000306", "'P'", "'1990-01-01'", "'FEMININO'", std::nullopt, true, "false",
         std::nullopt, std::nullopt, "631188001000", "1"},
        // A card of 15 characters with an accented letter is whole; one with an x is none.
        {307, "89800000000030é", "'P'", "'1990-01-01'", "'FEMININO'", std::nullopt, true, "false",
         std::nullopt, std::nullopt, "631188001000", "1"},
        {308, "89800000000030x", "'P'", "'1990-01-01'", "'FEMININO'", std::nullopt, false, "",
         std::nullopt, std::nullopt, std::nullopt, ""},
        {309, "89800000000309", "'P'", "'1990-01-01'", "'FEMININO'", std::nullopt, false, "",
         std::nullopt, std::nullopt, std::nullopt, ""},
        {310, "898000000000310", "'F'", "'1990-01-01'", "'FEMININO'", std::nullopt, false, "",
         std::nullopt, std::nullopt, std::nullopt, ""},
        {311, "898000000000311", "'f'", "'1990-01-01'", "'FEMININO'", std::nullopt, false, "",
         std::nullopt, std::nullopt, std::nullopt, ""},
        {312, "898000000000312", "NULL", "'1990-01-01'", "'FEMININO'", std::nullopt, false, "",
         std::nullopt, std::nullopt, std::nullopt, ""},
    };
    insereEncontro(1, "6");
    for (const auto& caso : casos) {
        insereCidadao(caso.pessoa, "'" + std::string(caso.cartao) + "'", caso.nascimento,
                      caso.sexo);
        inserePresenca(1, caso.pessoa, caso.presenca);
        if (caso.triagem)
            insereTriagem(1, caso.pessoa, (*caso.triagem)[0], (*caso.triagem)[1],
                          (*caso.triagem)[2]);
    }
    // Another meeting's triage of the same citizen is not this one's.
    insereTriagem(2, 306, "80", "180", "'S'");
    c.gera(TipoFicha::AtividadeColetiva);
    const std::string ficha = encontro(1);
    for (const auto& caso : casos) {
        const std::string bloco = blocoDoParticipante(ficha, caso.cartao);
        SCOPED_TRACE(caso.pessoa);
        ASSERT_EQ(!bloco.empty(), caso.listado);
        if (!caso.listado) continue;
        EXPECT_EQ(valorDe(bloco, "avaliacaoAlterada"), caso.avaliacao);
        EXPECT_EQ(valorDe(bloco, "peso"), caso.peso);
        EXPECT_EQ(valorDe(bloco, "altura"), caso.altura);
        EXPECT_EQ(valorDe(bloco, "dataNascimento"), caso.dataNascimento);
        EXPECT_EQ(valorDe(bloco, "sexo"), caso.sexoEsperado);
    }
    // The meeting's count takes "S" in either case and leaves "X" out.
    EXPECT_EQ(valorDe(ficha, "numAvaliacoesAlteradas"), "2");
}

// The shift from its word, the count of participants when there are any, and the procedure of
// a meeting with practice 30: the first of the eight codes in code order, none without the
// practice.
TEST_F(AtividadeColetivaTest, TurnoNumeroDeParticipantesEProcedimento) {
    struct Caso {
        const char* turno;
        const char* participantes;
        std::vector<int> temasSaude;
        std::vector<const char*> procedimentos;
        std::string turnoEsperado;
        std::optional<std::string> numParticipantes, procedimento;
    };
    const Caso casos[] = {
        {"'manhã'",
         "5",
         {30},
         {"'0301100039'", "'0101020082'", "'0101010044'"},
         "1",
         "5",
         "0101010044"},
        {"'MANHÃ'", "0", {1}, {"'0101010044'"}, "1", std::nullopt, std::nullopt},
        {"'Tarde'", "NULL", {30}, {"'0301100039'", "NULL"}, "2", std::nullopt, std::nullopt},
        {"'Noite'", "1", {30}, {}, "3", "1", std::nullopt},
        {"NULL", "1", {1}, {}, "3", "1", std::nullopt},
        {"'Manha'", "1", {1}, {}, "3", "1", std::nullopt},
    };
    insereProfissional(35, "Educador", "700000000000035", "131205");
    int id = 0;
    for (const auto& caso : casos) {
        insereEncontro(++id, "7", "HIPER", caso.turno, caso.participantes, "2019-10-15", false);
        insereCodigos("ENCONTROS_TEMASAUDE", "codtema", id, caso.temasSaude);
        for (const char* procedimento : caso.procedimentos)
            insereProfissionalNoEncontro(id, 35, procedimento);
    }
    c.gera(TipoFicha::AtividadeColetiva);
    id = 0;
    for (const auto& caso : casos) {
        const std::string ficha = encontro(++id);
        SCOPED_TRACE(caso.turno);
        EXPECT_EQ(valorDe(ficha, "turno"), caso.turnoEsperado);
        EXPECT_EQ(valorDe(ficha, "numParticipantes"), caso.numParticipantes);
        EXPECT_EQ(valorDe(ficha, "procedimento"), caso.procedimento);
    }
}

// A meeting goes only with a team theme, an audience or a health theme, from any unit; a
// meeting of the period with none is reported, with its unit, day and responsible professional,
// and one of another period is not.
TEST_F(AtividadeColetivaTest, SelecaoPorTemaPublicoOuTemaDeSaude) {
    insereProfissional(36, "Dr. Outra Unidade", "700000000000036", "225142", "'790'", "'1111111'");
    insereGrupo("OUTRA", "36", "NULL");
    insereEncontro(1, "1", "HIPER", "'Manhã'", "12", "2019-10-15", false);
    insereCodigos("ENCONTROS_TEMA", "codtema", 1, {3});
    insereEncontro(2, "4", "HIPER", "'Manhã'", "12", "2019-10-15", false);
    insereCodigos("ENCONTROS_PUBLICO", "codpublico", 2, {9});
    insereEncontro(3, "4", "OUTRA");
    insereEncontro(4, "4", "HIPER", "'Manhã'", "12", "2019-10-16", false);  // nothing: out
    insereProfissionalNoEncontro(4, 10);
    insereEncontro(5, "4", "HIPER", "'Manhã'", "12", "2019-11-16", false);  // another month
    c.gera(TipoFicha::AtividadeColetiva);
    EXPECT_EQ(nomesListados(),
              (std::set<std::string>{"FichaAtivColetiva_1.esus.xml", "FichaAtivColetiva_2.esus.xml",
                                     "FichaAtivColetiva_3.esus.xml"}));
    EXPECT_EQ(valorDe(encontro(3), "cnesLocalAtividade"), "1111111");

    EXPECT_EQ(
        c.ocorrencias.de(SituacaoRegistro::DeixadoDeFora),
        std::vector<std::string>{"4|encontro sem tema, público-alvo nem tema de saúde registrado"});
    const Ocorrencia& fora = c.ocorrencias.linhas.at(0);
    EXPECT_EQ(fora.unidade, "7654321");
    EXPECT_EQ(fora.data, "16/10/2019");
    EXPECT_EQ(fora.profissional, "Enf. Rita");
    EXPECT_EQ(c.ocorrencias.gravados.size(), 3u);
}

// Whole days also where the clinic's meeting date is a TIMESTAMP: late on the last day is in,
// midnight of the day after is out, the first day counts from 00:00.
TEST_F(AtividadeColetivaTest, PeriodoDeDiasInteirosComColunaTimestamp) {
    c.banco.executa("ALTER TABLE ENCONTROSGRUPOS ALTER COLUMN DATA TYPE TIMESTAMP");
    insereEncontro(60, "4", "HIPER", "'Noite'", "12", "2019-10-31 23:30:00");
    insereEncontro(61, "4", "HIPER", "'Manhã'", "12", "2019-11-01 00:00:00");
    insereEncontro(62, "4", "HIPER", "'Manhã'", "12", "2019-10-01 00:00:00");
    insereEncontro(63, "4", "HIPER", "'Noite'", "12", "2019-09-30 23:59:59");
    c.gera(TipoFicha::AtividadeColetiva);
    EXPECT_EQ(nomesListados(), (std::set<std::string>{"FichaAtivColetiva_60.esus.xml",
                                                      "FichaAtivColetiva_62.esus.xml"}));
    EXPECT_EQ(valorDe(encontro(60), "dataAtendimento"), "1572564600000");
}

}  // namespace
}  // namespace cds
