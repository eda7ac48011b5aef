#include "fichas/transmissao.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "comum/erro.hpp"
#include "fichas/cenario.hpp"
#include "suporte/cadastros.hpp"

namespace cds {
namespace {

using enum VarianteCadastro;

// The identifiers of one export, from the stored identifier S and the transmission code C.
TEST(IdentificadoresDoCadastro, TransporteEUuidPelaTransmissao) {
    struct Caso {
        VarianteCadastro variante;
        const char* U7;
        const char* codigo;
        const char* S;
        std::int64_t C;
        const char* transporte;
        const char* uuid;
    };
    const Caso casos[] = {
        // First transmission, then the next one of the same record.
        {Cidadao, "2345678", "123", "", 1, "2345678-da1cb4c9-0004-0000-0001-00000000123",
         "2345678-da1cb4c9-0004-0000-0000-00000000123"},
        {Cidadao, "2345678", "123", "2345678-da1cb4c9-0004-0000-0000-00000000123", 2,
         "2345678-da1cb4c9-0004-0000-0002-00000000123",
         "2345678-da1cb4c9-0004-0000-0001-00000000123"},
        {Domicilio, "2345678", "45", "", 1, "2345678-da1cb4c9-0004-0000-0001-D0000000045",
         "2345678-da1cb4c9-0004-0000-0000-D0000000045"},
        {Domicilio, "2345678", "45", "2345678-da1cb4c9-0004-0000-0000-D0000000045", 2,
         "2345678-da1cb4c9-0004-0000-0002-D0000000045",
         "2345678-da1cb4c9-0004-0000-0001-D0000000045"},
        // 44 characters, the last piece one character too long: back to the 43-character form.
        {Cidadao, "2345678", "123", "2345678-da1cb4c9-0004-0000-0003-000000000123", 5,
         "2345678-da1cb4c9-0004-0000-0005-00000000123",
         "2345678-da1cb4c9-0004-0000-0004-00000000123"},
        {Domicilio, "2345678", "45", "2345678-da1cb4c9-0004-0000-0003-D00000000045", 5,
         "2345678-da1cb4c9-0004-0000-0005-D0000000045",
         "2345678-da1cb4c9-0004-0000-0004-D0000000045"},
        // Past 9999 every digit stays: the transport code, and the version, which makes the
        // identifier 44 characters long.
        {Cidadao, "2345678", "123", "2345678-da1cb4c9-0004-0000-9999-00000000123", 10000,
         "2345678-da1cb4c9-0004-0000-10000-00000000123",
         "2345678-da1cb4c9-0004-0000-10000-00000000123"},
        // Such an identifier, and one of a unit code of eight digits, keep their last piece:
        // it has its standard length, and cutting it would lose a digit of the code.
        {Cidadao, "2345678", "123", "2345678-da1cb4c9-0004-0000-10000-00000000123", 3,
         "2345678-da1cb4c9-0004-0000-0003-00000000123",
         "2345678-da1cb4c9-0004-0000-10001-00000000123"},
        {Domicilio, "2345678", "45", "2345678-da1cb4c9-0004-0000-10000-D0000000045", 3,
         "2345678-da1cb4c9-0004-0000-0003-D0000000045",
         "2345678-da1cb4c9-0004-0000-10001-D0000000045"},
        {Cidadao, "12345678", "123", "12345678-da1cb4c9-0004-0000-0000-00000000123", 2,
         "12345678-da1cb4c9-0004-0000-0002-00000000123",
         "12345678-da1cb4c9-0004-0000-0001-00000000123"},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(std::string(c.S) + " C=" + std::to_string(c.C));
        EXPECT_EQ(identificadorTransporteCadastro(c.variante, c.U7, c.C, c.codigo), c.transporte);
        EXPECT_EQ(NovoUuidCadastro(c.variante, c.S, c.U7, c.codigo), c.uuid);
    }
}

// The stored identifier's fifth piece is the record's version; without a number there the
// record cannot go, and the error says which identifier it was.
TEST(IdentificadoresDoCadastro, VersaoQueNaoENumeroEncerra) {
    for (const char* S : {"2345678-da1cb4c9-0004-0000-00X1-00000000123",
                          "2345678-da1cb4c9-0004-0000--00000000123", "sem-separadores"}) {
        try {
            NovoUuidCadastro(Cidadao, S, "2345678", "123");
            ADD_FAILURE() << "aceitou " << S;
        } catch (const ErroConversao& e) {
            EXPECT_NE(std::string(e.what()).find(S), std::string::npos) << e.what();
        }
    }
}

// Past 9999 the operator is told in a message, and the log keeps it, as the record's warning.
TEST(ProximoCodigoTransmissao, UmAMaisEAvisoPassandoDe9999) {
    struct Caso {
        std::int64_t armazenado;
        VarianteCadastro variante;
        std::int64_t esperado;
        const char* aviso;
    };
    const Caso casos[] = {
        {0, Cidadao, 1, nullptr},
        {9998, Domicilio, 9999, nullptr},
        {9999, Cidadao, 10000,
         "Contate a ZUL, pois o codigo de transmissão individual para este cidadão já "
         "ultrapassou o limite de 4 casas!"},
        {12000, Domicilio, 12001,
         "Contate a ZUL, pois o codigo de transmissão individual para esta habitação já "
         "ultrapassou o limite de 4 casas!"},
    };
    teste::CenarioFichas cenario;
    Execucao& ex = cenario.execucao();
    for (const Caso& c : casos) {
        cenario.operador.chamadas.clear();
        ex.LogExecucao.clear();
        EXPECT_EQ(ProximoCodigoTransmissao(c.armazenado, c.variante, ex), c.esperado);
        std::vector<ChamadaOperador> esperadas;
        std::vector<std::string> log;
        if (c.aviso) {
            esperadas.push_back(
                ChamadaOperador::mensagem(c.aviso, kTituloAplicacao, TipoMensagem::Simples));
            esperadas.push_back(ChamadaOperador::log(c.aviso));
            log.push_back(c.aviso);
        }
        EXPECT_EQ(cenario.operador.chamadas, esperadas) << c.armazenado;
        EXPECT_EQ(ex.LogExecucao, log) << c.armazenado;
    }
}

// The write-back updates the record's row, or makes one when the record has none.
TEST(RegistroTransmissao, GravaTransmissaoAtualizaOuInsere) {
    teste::CenarioFichas c;
    c.banco.executa(
        "INSERT INTO pessoastransmissao (codigo, uuid, transmitiresus, datatransmissaoesus, "
        "CodigoTransmissaoEsus) VALUES (7, NULL, 'Sim', NULL, NULL)");
    Transacao& t = c.execucao().transacao;
    const auto hoje = std::chrono::year{2019} / 11 / 3;
    for (VarianteCadastro v : {Cidadao, Domicilio}) {
        RegistroTransmissao registro(t, v);
        registro.gravaTransmissoes({{"7", "uuid-7", 1, hoje}, {"8", "uuid-8", 10000, hoje}});
    }
    for (const char* tabela : {"pessoastransmissao", "familiastransmissao"}) {
        EXPECT_EQ(teste::linhaDoRegistro(t, tabela, 7), "uuid-7 | Não | 03/11/2019 | 1");
        EXPECT_EQ(teste::linhaDoRegistro(t, tabela, 8), "uuid-8 | Não | 03/11/2019 | 10000");
    }
}

// A batch the server refuses writes none of its rows and says which write-back it refused: the
// record whose row the database refused (a trigger of the clinic's), or none when a value did
// not fit the register before any row was written, after a batch refused already too.
TEST(RegistroTransmissao, LoteRecusadoDizQualGravacao) {
    teste::CenarioFichas c;
    c.banco.executa("CREATE EXCEPTION RECUSADO 'recusado pelo teste'");
    c.banco.executa(
        "CREATE TRIGGER RECUSA FOR pessoastransmissao BEFORE INSERT OR UPDATE AS BEGIN "
        "IF (NEW.codigo = 110) THEN EXCEPTION RECUSADO; END");
    Transacao& t = c.execucao().transacao;
    RegistroTransmissao registro(t, Cidadao);
    const auto lote = [](int primeiro, const std::string& uuid) {
        std::vector<GravacaoTransmissao> l;
        for (int i = 0; i < static_cast<int>(RegistroTransmissao::kLote); ++i)
            l.push_back({std::to_string(primeiro + i), uuid, 1, std::chrono::year{2019} / 11 / 3});
        return l;
    };
    registro.gravaTransmissoes(lote(200, "u"));

    struct Caso {
        int primeiro;
        std::string uuid;
        std::optional<std::size_t> recusado;
    };
    const Caso casos[] = {
        {100, "u", 10},
        {300, std::string(61, 'u'), std::nullopt},
    };
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.primeiro);
        EXPECT_THROW(registro.gravaTransmissoes(lote(caso.primeiro, caso.uuid)), ErroBanco);
        EXPECT_EQ(registro.recusadoNoLote(), caso.recusado);
        for (int i = 0; i < static_cast<int>(RegistroTransmissao::kLote); ++i)
            EXPECT_EQ(teste::linhaDoRegistro(t, "pessoastransmissao", caso.primeiro + i), "");
    }
    EXPECT_EQ(teste::linhaDoRegistro(t, "pessoastransmissao", 231), "u | Não | 03/11/2019 | 1");
}

// A stored counter of 9999: one message for the record, which still goes, with 10000 in its
// transport identifier and in the register.
TEST(RegistroTransmissao, ContadorPassandoDoLimite) {
    const struct {
        TipoFicha tipo;
        const char* tabela;
        const char* arquivo;
        const char* transporte;
        const char* registro;
    } casos[] = {
        {TipoFicha::CadastroIndividual, "pessoastransmissao",
         "FichaCadastroIndividual_00000000301.esus.xml",
         "2345678-da1cb4c9-0004-0000-10000-00000000301",
         "2345678-da1cb4c9-0004-0000-0000-00000000301 | Não | 03/11/2019 | 10000"},
        {TipoFicha::CadastroDomiciliar, "familiastransmissao",
         "FichaCadastroDomiciliar_000000000301.esus.xml",
         "2345678-da1cb4c9-0004-0000-10000-D0000000301",
         "2345678-da1cb4c9-0004-0000-0000-D0000000301 | Não | 03/11/2019 | 10000"},
    };
    for (const auto& caso : casos) {
        teste::CenarioFichas c;
        teste::insereBaseDeCadastros(c.banco);
        teste::insereDomicilio(c.banco, 301);
        c.banco.executa(
            "INSERT INTO pessoastransmissao (codigo, transmitiresus, "
            "CodigoTransmissaoEsus) VALUES (301, 'Sim', 9999)");
        c.banco.executa("UPDATE familiastransmissao SET CodigoTransmissaoEsus = 9999");
        c.parametros.ProfissionalGenerico = "9";
        Execucao& ex = c.gera(caso.tipo);

        EXPECT_EQ(c.operador.mensagens().size(), 1u) << caso.tabela;
        EXPECT_NE(c.arquivo(caso.arquivo)
                      .find(std::string("<uuidDadoSerializado>") + caso.transporte +
                            "\r\n</uuidDadoSerializado>"),
                  std::string::npos);
        EXPECT_EQ(teste::linhaDoRegistro(ex.transacao, caso.tabela, 301), caso.registro);
    }
}

}  // namespace
}  // namespace cds
