// One identifier for each record of a run: records that would build the same one keep it for
// the first in the run's order and take "-2", "-3", ... after it for the others.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "fichas/cenario.hpp"
#include "fichas/identificadores.hpp"
#include "fichas/procedimentos_teste.hpp"
#include "suporte/clinica.hpp"

namespace cds {
namespace {

namespace fs = std::filesystem;
using teste::CenarioFichas;
using teste::valorDe;

// Records asking for identifiers in the run's order: what each must append to its own.
TEST(IdentificadoresDaExecucao, PrimeiroFicaComOIdentificadorOsOutrosComSufixo) {
    const std::string x = "2345678-da1cb4c9-0004-0000-0000-03002";
    const std::string longo = "2345678-da1cb4c9-0004-0000-0000-" + std::string(200, 'K') + "1";
    struct Passo {
        const char* descricao;
        TipoFicha tipo;
        std::string unidade, numero, identificador, sufixo;
    };
    const TipoFicha atendimento = TipoFicha::AtendimentoIndividual;
    const Passo passos[] = {
        {"o primeiro", atendimento, "12", "3002", x, ""},
        {"outra unidade, mesmo identificador", atendimento, "2345678", "3002", x, "-2"},
        {"a linha seguinte do mesmo registro", atendimento, "2345678", "3002", x, "-2"},
        {"a unidade com brancos é a mesma", atendimento, " 12 ", "3002", x, ""},
        {"outro tipo é outro registro", TipoFicha::Vacinacao, "12", "3002", x, "-3"},
        {"mais uma unidade", atendimento, "7654321", "3002", x, "-4"},
        {"um identificador igual a um com sufixo", atendimento, "99", "3002", x + "-2", "-2"},
        {"outro número, o mesmo começo", atendimento, "12", "3003",
         "2345678-da1cb4c9-0004-0000-0000-03003", ""},
        {"sem as seis partes", TipoFicha::AtividadeColetiva, "12", "5", "abc", ""},
        {"sem as seis partes, outro registro", TipoFicha::AtividadeColetiva, "13", "5", "abc",
         "-2"},
        {"um final longo", TipoFicha::AtendimentoOdontologico, "12", "1", longo, ""},
        {"um final longo, outro registro", TipoFicha::AtendimentoOdontologico, "13", "1", longo,
         "-2"},
        {"um final longo, o primeiro de novo", TipoFicha::AtendimentoOdontologico, "12", "1", longo,
         ""},
    };
    IdentificadoresDaExecucao ids;
    for (const Passo& p : passos) {
        const DonoIdentificador dono{p.tipo, p.unidade, p.numero};
        const std::string sufixo = ids.sufixo(p.identificador, dono);
        EXPECT_EQ(sufixo, p.sufixo) << p.descricao;
        ids.toma(p.identificador + sufixo, dono);
    }
    EXPECT_EQ(ids.size(), 10u);
    // Another record cannot take an identifier that is not free.
    EXPECT_THROW(ids.toma(x, {atendimento, "7654321", "3002"}), std::logic_error);
}

// A month of records: the table grows under them and keeps every one.
TEST(IdentificadoresDaExecucao, MuitosRegistros) {
    constexpr int kRegistros = 20000;
    IdentificadoresDaExecucao ids;
    const auto identificador = [](int n) {
        return "2345678-da1cb4c9-0004-0000-0000-0" + std::to_string(n);
    };
    for (int n = 0; n < kRegistros; ++n) {
        const std::string numero = std::to_string(n);
        const DonoIdentificador dono{TipoFicha::AtendimentoIndividual, "2345678", numero};
        ASSERT_EQ(ids.sufixo(identificador(n), dono), "") << n;
        ids.toma(identificador(n), dono);
    }
    for (int n = 0; n < kRegistros; ++n) {
        const std::string numero = std::to_string(n);
        EXPECT_EQ(
            ids.sufixo(identificador(n), {TipoFicha::AtendimentoIndividual, "2345678", numero}), "")
            << n;
        ASSERT_EQ(ids.sufixo(identificador(n), {TipoFicha::Vacinacao, "2345678", numero}), "-2")
            << n;
    }
    EXPECT_EQ(ids.size(), static_cast<std::size_t>(kRegistros));
}

// A clinic where unit "12", whose code is not seven characters, takes the unit typed
// (2345678) for its records' identifiers, as the typed unit's own records do.
void insereBase(teste::BancoTeste& banco) {
    teste::insereClinica(banco);
    banco.executa("INSERT INTO unidades (codigo, nome) VALUES ('12', 'Posto rural')");
    teste::insereDentista(banco);
    teste::insereCatalogoProcedimentos(banco);
}

// Record 3002 of `unidade`, of each kind; the typed unit's has two rows where its kind reads
// several rows for one record.
struct Caso {
    TipoFicha tipo;
    std::string prefixo;
    std::function<void(teste::BancoTeste&, const std::string& unidade)> insere;
    // Its transport identifier, as the records of the typed unit have always had it.
    std::string transporte;
};

const std::vector<Caso>& casos() {
    static const std::vector<Caso> todos = {
        {TipoFicha::AtendimentoIndividual, "FichaAtendimentoIndividual_",
         [](teste::BancoTeste& banco, const std::string& unidade) {
             teste::insereEpisodio(banco, 3002, "'14:35:00'", unidade);
             if (unidade == "2345678")
                 for (int auxilio : {1, 2})
                     banco.executa(
                         "INSERT INTO SOLICPROCEDS (CODUNIDADE, NUMFAA, CODTIPOAUXILIO) VALUES "
                         "('2345678', 3002, " +
                         std::to_string(auxilio) + ")");
         },
         "2345678-da1cb4c9-0004-0000-0000-03002"},
        {TipoFicha::Vacinacao, "FichaVacinacao_",
         [](teste::BancoTeste& banco, const std::string& unidade) {
             teste::insereEpisodio(banco, 3002, "'14:35:00'", unidade);
         },
         "2345678-da1cb4c9-0004-0000-0000-03002"},
        // The procedures form writes its form identifier in its body.
        {TipoFicha::Procedimento, "FichaProcedimento_",
         [](teste::BancoTeste& banco, const std::string& unidade) {
             teste::insereAtendimentoOdontologico(banco, 3002, "'14:35:00'", unidade);
             teste::insereProcedimento(banco, 3002, "0301100039", "1", 20, unidade);
             if (unidade == "2345678")
                 for (const char* peso : {"70", "71"})
                     banco.executa(
                         "INSERT INTO TRIAGENS (CODUNIDADE, NUMFAA, PESO) VALUES ('2345678', "
                         "3002, " +
                         std::string(peso) + ")");
         },
         "2345678-da1cb4c9-0007-0000-0000-03002"},
        {TipoFicha::AtendimentoOdontologico, "FichaAtendimentoOdontologico_",
         [](teste::BancoTeste& banco, const std::string& unidade) {
             teste::insereAtendimentoOdontologico(banco, 3002, "'14:35:00'", unidade);
         },
         "2345678-da1cb4c9-0005-0000-0000-03002"},
        {TipoFicha::VisitaDomiciliar, "FichaVisitaDomiciliar_",
         [](teste::BancoTeste& banco, const std::string& unidade) {
             banco.executa(
                 "INSERT INTO FAA (CODUNIDADE, NUMFAA, DATA, HORA, CODPESSOA, CODPROFISSIONAL, "
                 "ESPECIEATEND, DESFECHOVISITA) VALUES ('" +
                 unidade + "', 3002, '2019-10-15', '12:00:00', 100, 10, 'VISITA', '1')");
         },
         "2345678-da1cb4c9-0008-0000-0000-03002"},
    };
    return todos;
}

// Unit 12's record and the typed unit's in one kind, on the same day: unit 12's comes first in
// the run's order (date, number, unit) and keeps its identifiers, byte for byte the file it has
// alone; the typed unit's file is the one it has alone but for "-2" after both identifiers,
// and its further rows keep that one. Every file is one the layout's schemas accept.
TEST(IdentificadoresNaExecucao, SegundoRegistroComOMesmoIdentificadorLevaSufixo) {
    for (const Caso& caso : casos()) {
        SCOPED_TRACE(caso.prefixo);
        const std::string primeiro = caso.prefixo + "3002.esus.xml";
        const std::string segundo = caso.prefixo + "3002_2.esus.xml";

        CenarioFichas so12;
        insereBase(so12.banco);
        caso.insere(so12.banco, "12");
        so12.gera(caso.tipo);
        CenarioFichas soDigitada;
        insereBase(soDigitada.banco);
        caso.insere(soDigitada.banco, "2345678");
        soDigitada.gera(caso.tipo);

        CenarioFichas juntas;
        insereBase(juntas.banco);
        caso.insere(juntas.banco, "2345678");
        caso.insere(juntas.banco, "12");
        Execucao& ex = juntas.gera(caso.tipo);

        const std::string a = juntas.arquivo(primeiro);
        const std::string b = juntas.arquivo(segundo);
        EXPECT_EQ(valorDe(a, "uuidDadoSerializado"), caso.transporte);
        EXPECT_EQ(a, so12.arquivo(primeiro));
        EXPECT_EQ(valorDe(b, "uuidDadoSerializado"), caso.transporte + "-2");
        EXPECT_EQ(valorDe(b, "uuidFicha"),
                  *valorDe(soDigitada.arquivo(primeiro), "uuidFicha") + "-2");
        EXPECT_EQ(valorDe(b, "uuidInstalacao"), valorDe(a, "uuidInstalacao"));
        EXPECT_EQ(b, teste::comSufixoNosIdentificadores(soDigitada.arquivo(primeiro), "-2"));
        // The typed unit's record saved again by its further rows, under its own name.
        std::vector<std::string> nomes;
        for (const std::string& caminho : juntas.caminhosListados())
            nomes.push_back(fs::path(caminho).filename());
        std::vector<std::string> esperados(soDigitada.caminhosListados().size(), segundo);
        esperados.insert(esperados.begin(), primeiro);
        EXPECT_EQ(nomes, esperados);
        for (const auto& e : fs::directory_iterator(ex.pastaXml()))
            EXPECT_EQ(teste::errosDeLeiaute(e.path()), "") << e.path();
    }
}

}  // namespace
}  // namespace cds
