#include "export/entradas.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "comum/erro.hpp"
#include "fichas/registro.hpp"

namespace cds {
namespace {

using std::chrono::year;

// Inputs a run takes as they are.
ParametrosExportacao validos() {
    ParametrosExportacao p;
    p.DataInicial = year{2019} / 10 / 1;
    p.DataFinal = year{2019} / 10 / 31;
    p.Unidade = "2345678";
    p.CodProf = "";
    p.Caminho = "/tmp/saída";
    p.UUID = "0";
    p.ProfissionalGenerico = "10";
    return p;
}

// The option and the value a refusal names, and part of what it says.
struct Recusa {
    const char* descricao;
    std::function<void(ParametrosExportacao&)> muda;
    std::string opcao;
    std::string trecho;
};

TEST(ValidaParametros, RecusaNomeandoAOpcaoEOValor) {
    const Recusa casos[] = {
        {"unidade com letra", [](auto& p) { p.Unidade = "23x"; }, "--unidade", "'23x'"},
        {"unidade em Windows-1252", [](auto& p) { p.Unidade = "23\xE9"; }, "--unidade",
         "'23\\xE9'"},
        {"unidade com oito dígitos", [](auto& p) { p.Unidade = "12345678"; }, "--unidade",
         "'12345678'"},
        {"unidade com brancos", [](auto& p) { p.Unidade = " 2345678"; }, "--unidade", "' 2345678'"},
        {"unidade em branco", [](auto& p) { p.Unidade = ""; }, "--unidade", "está em branco"},
        {"cod-prof com texto", [](auto& p) { p.CodProf = "10 OR 1=1"; }, "--cod-prof",
         "'10 OR 1=1'"},
        {"cod-prof negativo", [](auto& p) { p.CodProf = "-1"; }, "--cod-prof", "'-1'"},
        {"cod-prof além do INTEGER", [](auto& p) { p.CodProf = "2147483648"; }, "--cod-prof",
         "'2147483648'"},
        {"cod-prof de 20 dígitos", [](auto& p) { p.CodProf = "12345678901234567890"; },
         "--cod-prof", "'12345678901234567890'"},
        {"profissional genérico além do INTEGER",
         [](auto& p) { p.ProfissionalGenerico = "99999999999"; }, "--profissional-generico",
         "'99999999999'"},
        {"profissional genérico em branco com o cadastro individual",
         [](auto& p) {
             p.Fichas = {TipoFicha::CadastroIndividual};
             p.ProfissionalGenerico = "";
         },
         "--profissional-generico", "O código do profissional genérico está em branco."},
        {"profissional genérico em branco com o cadastro domiciliar entre outros",
         [](auto& p) {
             p.Fichas = {TipoFicha::AtendimentoIndividual, TipoFicha::CadastroDomiciliar};
             p.ProfissionalGenerico = "";
         },
         "--profissional-generico", "O código do profissional genérico está em branco."},
        {"profissional genérico com quebra de linha",
         [](auto& p) { p.ProfissionalGenerico = "9\n[GERAL]"; }, "--profissional-generico",
         "'9\\n[GERAL]'"},
        {"uuid com tabulação", [](auto& p) { p.UUID = "a\tb"; }, "--uuid", "'a\\tb'"},
        {"uuid com quebra de linha", [](auto& p) { p.UUID = "x\r\n</uuid>"; }, "--uuid",
         "'x\\r\\n</uuid>'"},
        {"uuid com DEL", [](auto& p) { p.UUID = "a\x7F"; }, "--uuid", "'a\\x7F'"},
        {"uuid em Windows-1252", [](auto& p) { p.UUID = "caf\xE9"; }, "--uuid",
         "'caf\\xE9': não é texto UTF-8 válido"},
        {"caminho em Windows-1252",
         [](auto& p) {
             p.Caminho =
                 "/tmp/sa\xED"
                 "da";
         },
         "--caminho", "'/tmp/sa\\xEDda': não é texto UTF-8 válido"},
        {"data inicial no ano 0", [](auto& p) { p.DataInicial = year{0} / 1 / 1; },
         "--data-inicial", "'01/01/0000'"},
        {"data inicial antes de 1900", [](auto& p) { p.DataInicial = year{1899} / 12 / 31; },
         "--data-inicial", "'31/12/1899'"},
        {"data inicial negativa", [](auto& p) { p.DataInicial = year{-201} / 1 / 1; },
         "--data-inicial", "'01/01/-201'"},
        {"data final além de 9999", [](auto& p) { p.DataFinal = year{10000} / 1 / 1; },
         "--data-final", "'01/01/10000'"},
        {"data final no último dia do DATE", [](auto& p) { p.DataFinal = year{9999} / 12 / 31; },
         "--data-final", "'31/12/9999'. Ela vai de 01/01/1900 a 30/12/9999"},
        {"início depois do fim", [](auto& p) { p.DataInicial = year{2019} / 11 / 1; },
         "--data-inicial", "'01/11/2019' é posterior à data final '31/10/2019'"},
    };
    for (const Recusa& c : casos) {
        SCOPED_TRACE(c.descricao);
        ParametrosExportacao p = validos();
        c.muda(p);
        try {
            validaParametros(p);
            ADD_FAILURE() << "aceito";
        } catch (const ErroParametro& e) {
            EXPECT_EQ(e.opcao(), c.opcao);
            EXPECT_NE(std::string(e.what()).find(c.trecho), std::string::npos) << e.what();
        }
    }
}

TEST(ValidaParametros, AceitaOQueARunPodeUsar) {
    const std::pair<const char*, std::function<void(ParametrosExportacao&)>> casos[] = {
        {"como estão", [](auto&) {}},
        {"unidade de um dígito", [](auto& p) { p.Unidade = "7"; }},
        {"unidade com zeros à esquerda", [](auto& p) { p.Unidade = "0000045"; }},
        {"maior INTEGER", [](auto& p) { p.CodProf = "2147483647"; }},
        {"zeros à esquerda não contam", [](auto& p) { p.CodProf = "000000000002147483647"; }},
        {"profissional genérico em branco", [](auto& p) { p.ProfissionalGenerico = ""; }},
        {"profissional genérico em branco sem cadastros",
         [](auto& p) {
             p.Fichas = {TipoFicha::AtendimentoIndividual, TipoFicha::Vacinacao};
             p.ProfissionalGenerico = "";
         }},
        {"uuid acentuado", [](auto& p) { p.UUID = "São Luís-€"; }},
        {"primeiro e último ano",
         [](auto& p) {
             p.DataInicial = year{1900} / 1 / 1;
             p.DataFinal = year{9999} / 12 / 30;
         }},
        {"um dia só", [](auto& p) { p.DataInicial = p.DataFinal; }},
        {"nenhum tipo de ficha", [](auto& p) { p.Fichas.clear(); }},
    };
    for (const auto& [descricao, muda] : casos) {
        ParametrosExportacao p = validos();
        muda(p);
        EXPECT_NO_THROW(validaParametros(p)) << descricao;
    }
}

TEST(LeDataDaOpcao, SoDDMMAAAAQueExiste) {
    EXPECT_EQ(leDataDaOpcao("--data-inicial", "15/10/2019"), year{2019} / 10 / 15);
    EXPECT_EQ(leDataDaOpcao("--data-final", "29/02/2020"), year{2020} / 2 / 29);
    // The year's range is validaParametros's: the text itself is a date.
    EXPECT_EQ(leDataDaOpcao("--data-inicial", "01/01/0000"), year{0} / 1 / 1);
    const std::pair<const char*, const char*> casos[] = {
        {"01/01/-201", "Data inválida: '01/01/-201'"},
        {"1/10/2019", "Data inválida"},
        {"2019-10-01", "Data inválida"},
        {"15/10/19", "Data inválida"},
        {"15/10/2019 ", "Data inválida"},
        {"+1/10/2019", "Data inválida"},
        {"31/02/2019", "Data inexistente: '31/02/2019'"},
        {"00/10/2019", "Data inexistente"},
        {"15/13/2019", "Data inexistente"},
        {"", "Data inválida: ''"},
    };
    for (const auto& [texto, trecho] : casos) {
        try {
            leDataDaOpcao("--data-final", texto);
            ADD_FAILURE() << "aceitou '" << texto << "'";
        } catch (const ErroParametro& e) {
            EXPECT_EQ(e.opcao(), "--data-final");
            EXPECT_NE(std::string(e.what()).find(trecho), std::string::npos) << e.what();
        }
    }
}

TEST(LeFichasDaOpcao, NomesDoRegistroETodas) {
    EXPECT_EQ(leFichasDaOpcao("vacinacao"), std::set<TipoFicha>{TipoFicha::Vacinacao});
    EXPECT_EQ(leFichasDaOpcao("vacinacao,atendimento-individual,vacinacao"),
              (std::set<TipoFicha>{TipoFicha::Vacinacao, TipoFicha::AtendimentoIndividual}));
    std::set<TipoFicha> todas;
    for (const DescricaoFicha& d : registroFichas())
        if (d.emTodas) todas.insert(d.tipo);
    EXPECT_EQ(leFichasDaOpcao("todas"), todas);
    const std::pair<const char*, const char*> casos[] = {
        {"", "Nenhum tipo de ficha informado: ''"},
        {",", "Nenhum tipo de ficha informado: ','"},
        {"atendimento", "Tipo de ficha desconhecido: 'atendimento'"},
        {"vacinacao,Vacinacao", "Tipo de ficha desconhecido: 'Vacinacao'"},
    };
    for (const auto& [lista, trecho] : casos) {
        try {
            leFichasDaOpcao(lista);
            ADD_FAILURE() << "aceitou '" << lista << "'";
        } catch (const ErroParametro& e) {
            EXPECT_EQ(e.opcao(), "--fichas");
            EXPECT_NE(std::string(e.what()).find(trecho), std::string::npos) << e.what();
        }
    }
}

TEST(ValidaTextoDaOpcao, SoUtf8) {
    EXPECT_NO_THROW(validaTextoDaOpcao("--uuid", "São Luís"));
    for (const char* texto : {"caf\xE9", "\xC3", "\xED\xA0\x80"}) {
        try {
            validaTextoDaOpcao("--config", texto);
            ADD_FAILURE() << "aceitou";
        } catch (const ErroParametro& e) {
            EXPECT_EQ(e.opcao(), "--config");
            EXPECT_NE(std::string(e.what()).find("não é texto UTF-8 válido"), std::string::npos)
                << e.what();
        }
    }
}

}  // namespace
}  // namespace cds
