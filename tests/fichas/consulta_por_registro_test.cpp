// The look-ups read once for the period and merged with the main rows: each record gets the
// rows its own per-record statement gives, in the order of the child table's key.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "comum/erro.hpp"
#include "fichas/atendimentos.hpp"
#include "fichas/cenario.hpp"
#include "suporte/clinica.hpp"
#include "suporte/pasta_temporaria_do_sistema.hpp"

namespace cds {
namespace {

using teste::CenarioFichas;

// The main query of these tests: the medical episodes of the period, once per help asked for
// (so an episode with two comes twice), in the order of every main query over episodes.
constexpr std::string_view kPrincipal = R"(
SELECT FAA.DATA, FAA.NUMFAA, FAA.CODUNIDADE
FROM FAA
LEFT OUTER JOIN SOLICPROCEDS SC ON FAA.CODUNIDADE=SC.CODUNIDADE AND FAA.NUMFAA=SC.NUMFAA
WHERE FAA.ESPECIEATEND='MEDICO' AND FAA.DATA >= :pdatainicial AND FAA.DATA < :pdiaposfinal
)";

// The look-up over every episode of the period, medical or not.
constexpr std::string_view kCiaps = R"(
FROM FAA
INNER JOIN FAACIAPS ON FAACIAPS.NUMFAA=FAA.NUMFAA AND FAACIAPS.CODUNIDADE=FAA.CODUNIDADE
WHERE FAA.DATA >= :pdatainicial AND FAA.DATA < :pdiaposfinal
)";

// What an episode's own statement gave before the look-up was read once.
constexpr std::string_view kCiapsDoEpisodio = R"(
SELECT FAACIAPS.CODCIAP FROM FAACIAPS
WHERE FAACIAPS.NUMFAA=:pnumfaa AND FAACIAPS.CODUNIDADE=:pcodunidade
ORDER BY FAACIAPS.CODCIAP
)";

ConsultaPorRegistro consultaCiaps(Execucao& ex) {
    return consultaPorEpisodio(ex, "FAACIAPS.CODCIAP", kCiaps, "", "FAACIAPS.CODCIAP");
}

struct Episodio {
    const char* unidade;
    int numero;
    const char* dia;
    const char* especie = "MEDICO";
};

struct Ciap {
    const char* unidade;
    int numero;
    const char* codigo;
};

// A record as the merge saw it: "unit/number: code code ...".
using Vistos = std::vector<std::string>;

// A clinic of its own with these episodes, CIAP codes and help asked for ("unit, number").
class Clinica {
  public:
    Clinica(const std::vector<Episodio>& episodios, const std::vector<Ciap>& ciaps,
            const std::vector<const char*>& solicitacoes = {},
            const std::vector<std::string>& depois = {}) {
        teste::insereClinica(c.banco);
        for (const Episodio& e : episodios)
            c.banco.executa(std::string("INSERT INTO FAA (CODUNIDADE, NUMFAA, DATA, ESPECIEATEND) "
                                        "VALUES ('") +
                            e.unidade + "', " + std::to_string(e.numero) + ", '" + e.dia + "', '" +
                            e.especie + "')");
        for (const Ciap& x : ciaps)
            c.banco.executa(
                std::string("INSERT INTO FAACIAPS (CODUNIDADE, NUMFAA, CODCIAP) VALUES ('") +
                x.unidade + "', " + std::to_string(x.numero) + ", '" + x.codigo + "')");
        for (const char* s : solicitacoes)
            c.banco.executa(
                std::string(
                    "INSERT INTO SOLICPROCEDS (CODUNIDADE, NUMFAA, CODTIPOAUXILIO) VALUES (") +
                s + ", 1)");
        for (const std::string& sql : depois) c.banco.executa(sql);
    }

    // Walks the main query, asking the look-up for every row, and the per-episode statement
    // too; the two must agree row by row.
    Vistos percorre() {
        Execucao& ex = c.execucao();
        Consulta principal(ex.transacao, std::string(kPrincipal) + kChaveDoEpisodio.ordem());
        vinculaPeriodo(principal, ex.parametros);
        ConsultaPorRegistro ciaps = consultaCiaps(ex);
        Consulta doEpisodio(ex.transacao, kCiapsDoEpisodio);
        ciaps.abre();
        principal.percorre();
        Vistos vistos;
        while (const Linha* l = principal.proxima()) {
            const std::string registro = l->texto("CODUNIDADE") + "/" + l->texto("NUMFAA") + ":";
            std::string visto = registro;
            for (const Linha& x : ciaps.de(kChaveDoEpisodio.daLinha(*l)))
                visto += " " + x.texto("CODCIAP");
            std::string doProprio = registro;
            doEpisodio.parametro("pnumfaa", l->texto("NUMFAA"));
            doEpisodio.parametro("pcodunidade", l->texto("CODUNIDADE"));
            for (const Linha& x : doEpisodio.abre()) doProprio += " " + x.texto("CODCIAP");
            EXPECT_EQ(visto, doProprio);
            vistos.push_back(visto);
        }
        return vistos;
    }

    CenarioFichas c;
};

TEST(ConsultaPorRegistro, CadaRegistroComAsSuasLinhas) {
    struct Caso {
        const char* nome;
        std::vector<Episodio> episodios;
        std::vector<Ciap> ciaps;
        std::vector<const char*> solicitacoes;  // "unit, number" of each help asked for
        Vistos esperado;
    };
    const Caso casos[] = {
        {"várias linhas, nenhuma, uma",
         {{"2345678", 1, "2019-10-15"}, {"2345678", 2, "2019-10-15"}, {"2345678", 3, "2019-10-15"}},
         {{"2345678", 1, "K86"},
          {"2345678", 3, "T90"},
          {"2345678", 1, "A01"},
          {"2345678", 1, "ABP001"}},
         {},
         {"2345678/1: A01 ABP001 K86", "2345678/2:", "2345678/3: T90"}},
        {"o mesmo número em três unidades no mesmo dia",
         {{"7654321", 5, "2019-10-15"}, {"2345678", 5, "2019-10-15"}, {"1111111", 5, "2019-10-15"}},
         {{"7654321", 5, "A01"}, {"2345678", 5, "K86"}, {"7654321", 5, "T90"}},
         {},
         {"1111111/5:", "2345678/5: K86", "7654321/5: A01 T90"}},
        {"o mesmo número em duas unidades em dias diferentes",
         {{"7654321", 5, "2019-10-14"}, {"2345678", 5, "2019-10-15"}},
         {{"2345678", 5, "K86"}, {"7654321", 5, "A01"}},
         {},
         {"7654321/5: A01", "2345678/5: K86"}},
        {"um registro que a consulta principal repete",
         {{"2345678", 7, "2019-10-15"}, {"2345678", 8, "2019-10-15"}},
         {{"2345678", 7, "K86"}, {"2345678", 7, "A01"}, {"2345678", 8, "T90"}},
         {"'2345678', 7", "'2345678', 7", "'2345678', 8"},
         {"2345678/7: A01 K86", "2345678/7: A01 K86", "2345678/8: T90"}},
        {"linhas de episódios que a consulta principal deixa de fora",
         {{"2345678", 10, "2019-10-15"},
          {"2345678", 11, "2019-10-15", "ENFERMAGEM"},
          {"2345678", 12, "2019-10-15"},
          {"2345678", 13, "2019-11-01"}},
         {{"2345678", 11, "A01"},
          {"2345678", 12, "K86"},
          {"2345678", 10, "T90"},
          {"2345678", 13, "B02"}},
         {},
         {"2345678/10: T90", "2345678/12: K86"}},
        {"a data antes do número",
         {{"2345678", 20, "2019-10-01"},
          {"2345678", 10, "2019-10-02"},
          {"2345678", 15, "2019-10-02"}},
         {{"2345678", 15, "A01"}, {"2345678", 10, "K86"}, {"2345678", 20, "T90"}},
         {},
         {"2345678/20: T90", "2345678/10: K86", "2345678/15: A01"}},
    };
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.nome);
        Clinica clinica(caso.episodios, caso.ciaps, caso.solicitacoes);
        EXPECT_EQ(clinica.percorre(), caso.esperado);
    }
}

// A row written after another was deleted may take its room in storage; the look-up still
// gives an episode's rows in the order of their codes, not where the engine put them.
TEST(ConsultaPorRegistro, LinhaNovaNoLugarDeUmaApagada) {
    Clinica clinica(
        {{"2345678", 30, "2019-10-15"}},
        {{"2345678", 30, "K86"}, {"2345678", 30, "A01"}, {"2345678", 30, "T90"}}, {},
        {"DELETE FROM FAACIAPS WHERE CODCIAP = 'A01'", "UPDATE FAACIAPS SET NUMFAA = NUMFAA",
         "INSERT INTO FAACIAPS (CODUNIDADE, NUMFAA, CODCIAP) VALUES ('2345678', 30, "
         "'B02')"});
    EXPECT_EQ(clinica.percorre(), Vistos{"2345678/30: B02 K86 T90"});
}

// Main rows and look-up out of one order would hand records the wrong rows: the walk stops as
// a program error instead, whether the records go back or the look-up's rows do.
TEST(ConsultaPorRegistro, ForaDeOrdemEErroDePrograma) {
    Clinica clinica({{"2345678", 1, "2019-10-14"}, {"2345678", 2, "2019-10-15"}},
                    {{"2345678", 1, "A01"}, {"2345678", 2, "K86"}});
    Execucao& ex = clinica.c.execucao();
    const ChaveRegistro primeiro{DataHora{2019, 10, 14}, 1, "2345678"};
    const ChaveRegistro segundo{DataHora{2019, 10, 15}, 2, "2345678"};

    ConsultaPorRegistro emOrdem = consultaCiaps(ex);
    emOrdem.abre();
    EXPECT_EQ(emOrdem.de(segundo).size(), 1u);
    EXPECT_THROW(emOrdem.de(primeiro), std::logic_error);

    ConsultaPorRegistro invertida(
        ex.transacao,
        "SELECT FAACIAPS.CODCIAP, FAA.DATA AS CHAVE_DATA, FAA.NUMFAA AS CHAVE_NUMERO, "
        "FAA.CODUNIDADE AS CHAVE_UNIDADE" +
            std::string(kCiaps) + "ORDER BY FAA.DATA DESC, FAA.NUMFAA DESC");
    vinculaPeriodo(invertida.consulta(), ex.parametros);
    invertida.abre();
    EXPECT_THROW(invertida.de(segundo), std::logic_error);
}

// A look-up whose rows have no temporary file to wait in fails the run, saying why, rather than
// read them a second way.
TEST(ConsultaPorRegistro, SemArquivoTemporarioFalha) {
    Clinica clinica({{"2345678", 1, "2019-10-14"}}, {{"2345678", 1, "A01"}});
    ConsultaPorRegistro ciaps = consultaCiaps(clinica.c.execucao());
    teste::PastaTemporaria pasta;
    const teste::TmpdirEm tmpdir(pasta / "nenhuma");
    try {
        ciaps.abre();
        ADD_FAILURE() << "aberta";
    } catch (const ErroArquivo& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Não foi possível criar um arquivo temporário", 0),
                  0u)
            << e.what();
    }
}

}  // namespace
}  // namespace cds
