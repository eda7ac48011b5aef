#include "export/arquivos.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "comum/erro.hpp"
#include "fichas/registro.hpp"
#include "record/envelope.hpp"
#include "suporte/arquivos_teste.hpp"
#include "suporte/banco_teste.hpp"
#include "suporte/pasta_so_leitura.hpp"

namespace cds {
namespace {

using teste::escreveArquivo;
using teste::leArquivo;
using teste::PastaTemporaria;

namespace fs = std::filesystem;

// The names the exporter writes in arquivosXML, and those it must leave: the clinic's files,
// look-alikes, and another run's lock and hidden archive (a run whose output folder is this
// arquivosXML).
TEST(DeletaArquivosDir, NomesDaExportacao) {
    struct Caso {
        std::string nome;
        bool daExportacao;
    };
    std::vector<Caso> casos = {
        {"FichaAtendimentoIndividual_1.esus.xml", true},
        {"FichaAtendimentoIndividual_7_2.esus.xml", true},
        {"FichaAtendimentoIndividual_7_13.esus.xml", true},
        {"FichaAtendimentoIndividual_-5.esus.xml", true},
        {"FichaCadastroIndividual_00000000123.esus.xml", true},
        {"FichaVacinacao_345.esus.xml.tmp", true},
        {".FichaVacinacao_345.esus.xml.4242-0-18446744073709551615", true},
        {".FichaVacinacao_345_2.esus.xml.1-17-9", true},
        {"FichaAtendimentoIndividual_.esus.xml", false},
        {"FichaAtendimentoIndividual_7_.esus.xml", false},
        {"FichaAtendimentoIndividual_7_2_3.esus.xml", false},
        {"FichaAtendimentoIndividual_7x.esus.xml", false},
        {"FichaAtendimentoIndividual_7.esus.XML", false},
        {"FichaAtendimentoIndividual_7.esus.xml.bak", false},
        {"fichaatendimentoindividual_7.esus.xml", false},
        {"xFichaAtendimentoIndividual_7.esus.xml", false},
        {"FichaAntiga_1.esus.xml", false},
        {".FichaVacinacao_345.esus.xml.4242-0", false},
        {".FichaVacinacao_345.esus.xml.4242-0-1-2", false},
        {".FichaVacinacao_345.esus.xml.4242-x-1", false},
        {".FichaVacinacao_345.esus.xml.", false},
        {"FichaVacinacao_345.esus.xml.4242-0-1", false},
        {".exportador-cds.trava", false},
        {".FichasValmo_03112019_1405_01102019_31102019.zip.4242-0-123456", false},
        {"FichasValmo_03112019_1405_01102019_31102019.zip", false},
        {"config.ini", false},
        {".config.ini.4242-0-123456", false},
        {"erros.txt", false},
        {"clinica.fdb", false},
        {"", false},
    };
    // Every kind's file as the generators name it, and its temporary names.
    for (const DescricaoFicha& d : registroFichas()) {
        const std::string nome = nomeArquivo(d.tipo, "345");
        casos.push_back({nome, true});
        casos.push_back({nome + ".tmp", true});
        casos.push_back({"." + nome + ".99-3-123", true});
        casos.push_back({nome.substr(0, nome.size() - 9) + "_2.esus.xml", true});
    }
    for (const Caso& c : casos) EXPECT_EQ(ehArquivoDaExportacao(c.nome), c.daExportacao) << c.nome;
}

TEST(DeletaArquivosDir, ApagaSoOQueAExportacaoGrava) {
    // The folder as the run may spell it: plain, with a trailing separator (a Caminho typed
    // with one), with a doubled separator inside.
    for (const char* grafia : {"/arquivosXML", "/arquivosXML/", "//arquivosXML"}) {
        SCOPED_TRACE(grafia);
        PastaTemporaria base;
        const fs::path pasta = base / "arquivosXML";
        fs::create_directories(pasta / "cheia" / "funda");
        fs::create_directory(pasta / "vazia");
        // A folder, and a link, with a record's name: nothing the exporter wrote.
        fs::create_directory(pasta / "FichaProcedimento_9.esus.xml");
        escreveArquivo(base / "documento.txt", "do operador");
        fs::create_symlink(base / "documento.txt", pasta / "FichaVacinacao_5.esus.xml");
        for (const char* nome :
             {"FichaAtendimentoIndividual_1.esus.xml", "FichaProcedimento_2_3.esus.xml",
              "FichaVacinacao_345.esus.xml.tmp", ".FichaVisitaDomiciliar_987.esus.xml.4242-0-77"}) {
            escreveArquivo(pasta / nome, "x");
        }
        const std::vector<std::string> mantidos = {
            ".FichasValmo_03112019_1405_01102019_31102019.zip.4242-0-77",
            ".exportador-cds.trava",
            ".oculto",
            "FichaAntiga_1.esus.xml",
            "FichaProcedimento_9.esus.xml",
            "FichaVacinacao_1.esus.xml.bak",
            "FichaVacinacao_5.esus.xml",
            "FichasValmo_03112019_1405_01102019_31102019.zip",
            "cheia",
            "cheia/dentro.xml",
            "cheia/funda",
            "cheia/funda/mais.xml",
            "clinica.fdb",
            "config.ini",
            "sem-extensao",
            "vazia",
        };
        for (const std::string& nome : mantidos)
            if (!fs::exists(fs::symlink_status(pasta / nome))) escreveArquivo(pasta / nome, "fica");

        const LimpezaPastaXml limpeza = DeletaArquivosDir(base.caminho().string() + grafia);

        std::vector<std::string> restantes;
        for (const auto& e : fs::recursive_directory_iterator(pasta))
            restantes.push_back(e.path().lexically_relative(pasta).generic_string());
        std::sort(restantes.begin(), restantes.end());
        EXPECT_EQ(restantes, mantidos);
        EXPECT_EQ(leArquivo(base / "documento.txt"), "do operador");
        EXPECT_TRUE(fs::is_symlink(pasta / "FichaVacinacao_5.esus.xml"));
        // What was kept directly in the folder is counted; five of its names are given.
        EXPECT_EQ(limpeza.mantidos, 13u);
        EXPECT_EQ(limpeza.primeirosMantidos.size(), 5u);
        for (const std::string& nome : limpeza.primeirosMantidos)
            EXPECT_NE(std::find(mantidos.begin(), mantidos.end(), nome), mantidos.end()) << nome;
        EXPECT_EQ(limpeza.naoApagados, 0u);
        EXPECT_FALSE(limpeza.erroDaListagem);
    }
}

// What the run's log says of a clean-up: one line for what was kept, naming a few and counting
// the rest, and one for the records that could not be deleted, with why.
TEST(DeletaArquivosDir, AvisosNomeiamPoucosEContamOResto) {
    struct Caso {
        const char* descricao;
        LimpezaPastaXml limpeza;
        std::vector<std::string> avisos;
    };
    const Caso casos[] = {
        {"nada a dizer", {"/s/arquivosXML", 0, {}, 0, {}, {}, {}}, {}},
        {"um mantido",
         {"/s/arquivosXML", 1, {"clinica.fdb"}, 0, {}, {}, {}},
         {"A pasta /s/arquivosXML tem 1 item que não é ficha do exportador e ficou como estava: "
          "clinica.fdb."}},
        {"muitos mantidos",
         {"/s/arquivosXML", 12, {"a", "b", "c", "d", "e"}, 0, {}, {}, {}},
         {"A pasta /s/arquivosXML tem 12 itens que não são fichas do exportador e ficaram como "
          "estavam: a, b, c, d, e e mais 7."}},
        {"fichas que não saíram",
         {"/s/arquivosXML",
          2,
          {"notas.txt", "sub"},
          3,
          {"FichaVacinacao_1.esus.xml", "FichaVacinacao_2.esus.xml", "FichaVacinacao_3.esus.xml"},
          std::make_error_code(std::errc::read_only_file_system),
          {}},
         {"A pasta /s/arquivosXML tem 2 itens que não são fichas do exportador e ficaram como "
          "estavam: notas.txt, sub.",
          "Não foi possível apagar 3 fichas de uma exportação anterior na pasta /s/arquivosXML "
          "(o disco só permite leitura. Detalhe: Read-only file system): "
          "FichaVacinacao_1.esus.xml, FichaVacinacao_2.esus.xml, FichaVacinacao_3.esus.xml. Elas "
          "não entram no arquivo compactado desta exportação, que leva só as fichas gravadas "
          "agora."}},
        {"listagem interrompida",
         {"/s/arquivosXML", 0, {}, 0, {}, {}, std::make_error_code(std::errc::io_error)},
         {"Não foi possível ler toda a pasta /s/arquivosXML (erro de leitura ou gravação no "
          "disco. Detalhe: Input/output error); o que não foi lido ficou como estava e não entra "
          "no arquivo compactado desta exportação."}},
    };
    for (const Caso& c : casos) EXPECT_EQ(avisosDaLimpeza(c.limpeza), c.avisos) << c.descricao;
}

// Records that cannot be deleted (a disk gone read-only) stay, and are told, not kept quiet.
TEST(DeletaArquivosDir, FichaQueNaoPodeSerApagadaEDita) {
    PastaTemporaria base;
    const fs::path pasta = base / "arquivosXML";
    teste::PastaSoDeLeitura soLeitura(pasta);
    if (!soLeitura.pronta()) GTEST_SKIP() << soLeitura.motivo();
    for (const char* nome : {"FichaVacinacao_1.esus.xml", "FichaVacinacao_2.esus.xml", "notas.txt"})
        escreveArquivo(pasta / nome, "anterior");
    soLeitura.fecha();

    const LimpezaPastaXml limpeza = DeletaArquivosDir(pasta.string());

    EXPECT_EQ(limpeza.mantidos, 1u);
    EXPECT_EQ(limpeza.naoApagados, 2u);
    std::vector<std::string> naoApagados = limpeza.primeirosNaoApagados;
    std::sort(naoApagados.begin(), naoApagados.end());
    EXPECT_EQ(naoApagados,
              (std::vector<std::string>{"FichaVacinacao_1.esus.xml", "FichaVacinacao_2.esus.xml"}));
    EXPECT_TRUE(limpeza.motivoNaoApagado == std::errc::read_only_file_system ||
                limpeza.motivoNaoApagado == std::errc::permission_denied)
        << limpeza.motivoNaoApagado.message();
    EXPECT_EQ(leArquivo(pasta / "FichaVacinacao_1.esus.xml"), "anterior");
    const std::vector<std::string> avisos = avisosDaLimpeza(limpeza);
    ASSERT_EQ(avisos.size(), 2u);
    EXPECT_TRUE(
        avisos[1].starts_with("Não foi possível apagar 2 fichas de uma exportação "
                              "anterior na pasta " +
                              pasta.string()))
        << avisos[1];
}

TEST(DeletaArquivosDir, PastaInexistenteNaoEErroENaoECriada) {
    PastaTemporaria base;
    EXPECT_NO_THROW(DeletaArquivosDir((base / "arquivosXML").string()));
    EXPECT_FALSE(fs::exists(base / "arquivosXML"));
    // A file where the folder should be is not a folder to empty.
    escreveArquivo(base / "arquivosXML", "fica");
    EXPECT_NO_THROW(DeletaArquivosDir((base / "arquivosXML").string()));
    EXPECT_EQ(leArquivo(base / "arquivosXML"), "fica");
}

TEST(SalvaErrosCadastro, UmaLinhaPorEntradaComCrLfNaCodificacaoPedida) {
    struct Caso {
        std::vector<std::string> linhas;
        CodificacaoErros codificacao;
        std::string bytes;
    };
    const Caso casos[] = {
        {{"João"}, CodificacaoErros::Windows1252, "\x4A\x6F\xE3\x6F\r\n"},
        {{"Cidadão sem CNS: MARIA DA CONCEIÇÃO", "Família 12 sem endereço", "Preço € 5"},
         CodificacaoErros::Windows1252,
         "Cidad\xE3o sem CNS: MARIA DA CONCEI\xC7\xC3O\r\nFam\xEDlia 12 sem endere\xE7o\r\n"
         "Pre\xE7o \x80 5\r\n"},
        // An empty entry is an empty line; what has no Windows-1252 form becomes "?".
        {{"", "Ω"}, CodificacaoErros::Windows1252, "\r\n?\r\n"},
        // The copy beside the archive keeps every character.
        {{"Cidadão Łódź", "Ω"}, CodificacaoErros::Utf8, "Cidadão Łódź\r\nΩ\r\n"},
        // A line break inside an entry (a name typed with one) would make two lines of one
        // entry, and the file's count would not be the list's.
        {{"Família\r\nSouza", "Maria\n", "\rJosé"},
         CodificacaoErros::Windows1252,
         "Fam\xEDlia  Souza\r\nMaria \r\n Jos\xE9\r\n"},
        {{"Família\r\nSouza"}, CodificacaoErros::Utf8, "Família  Souza\r\n"},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.linhas.front());
        PastaTemporaria pasta;
        // Replaces a longer file whole, with nothing of it left at the end.
        escreveArquivo(pasta / "erros.txt", std::string(500, 'z'));
        salvaErrosCadastro(pasta / "erros.txt", c.linhas, c.codificacao);
        EXPECT_EQ(leArquivo(pasta / "erros.txt"), c.bytes);
        EXPECT_EQ(std::distance(fs::directory_iterator(pasta.caminho()), fs::directory_iterator()),
                  1);
    }
}

// An empty list leaves no list: an earlier one is removed, so that it is not taken for the
// run's. A folder of that name is no list, and stays.
TEST(SalvaErrosCadastro, ListaVaziaApagaAAnterior) {
    PastaTemporaria pasta;
    salvaErrosCadastro(pasta / "erros.txt", {});
    EXPECT_FALSE(fs::exists(pasta / "erros.txt"));

    escreveArquivo(pasta / "erros.txt", "da execução anterior\r\n");
    salvaErrosCadastro(pasta / "erros.txt", {});
    EXPECT_FALSE(fs::exists(pasta / "erros.txt"));

    fs::create_directory(pasta / "erros.txt");
    salvaErrosCadastro(pasta / "erros.txt", {}, CodificacaoErros::Utf8);
    EXPECT_TRUE(fs::is_directory(pasta / "erros.txt"));
}

TEST(SalvaErrosCadastro, ArquivoQueNaoPodeSerCriadoLevantaErro) {
    PastaTemporaria pasta;
    EXPECT_THROW(salvaErrosCadastro(pasta / "nao-existe" / "erros.txt", {"linha"}), ErroArquivo);
}

// The new list is written beside the file and takes its place in one step; when it cannot,
// no temporary file is left behind.
TEST(SalvaErrosCadastro, SubstituicaoQueFalhaNaoDeixaTemporario) {
    PastaTemporaria pasta;
    fs::create_directory(pasta / "erros.txt");
    escreveArquivo(pasta / "erros.txt" / "dentro", "x");
    EXPECT_THROW(salvaErrosCadastro(pasta / "erros.txt", {"linha"}), ErroArquivo);
    EXPECT_EQ(leArquivo(pasta / "erros.txt" / "dentro"), "x");
    std::vector<std::string> nomes;
    for (const auto& e : fs::directory_iterator(pasta.caminho()))
        nomes.push_back(e.path().filename());
    EXPECT_EQ(nomes, std::vector<std::string>{"erros.txt"});
}

// Links planted beside the list, where another user of the machine may write: at the name a
// temporary file would have had if it were predictable, and at the list itself. Neither is
// written through, and the list's link is left as it is.
TEST(SalvaErrosCadastro, LinksNaoSaoSeguidosNemSubstituidos) {
    struct Caso {
        const char* descricao;
        std::vector<std::string> linhas;
    };
    const Caso casos[] = {{"com linhas", {"linha nova"}}, {"lista vazia", {}}};
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.descricao);
        PastaTemporaria pasta;
        escreveArquivo(pasta / "alheio", "de outro usuário");
        fs::create_symlink(pasta / "alheio", pasta / "erros.txt.tmp");
        for (const auto codificacao : {CodificacaoErros::Windows1252, CodificacaoErros::Utf8}) {
            fs::remove(pasta / "erros.txt");
            salvaErrosCadastro(pasta / "erros.txt", {"linha"}, codificacao);
            EXPECT_EQ(leArquivo(pasta / "erros.txt"), "linha\r\n");
            EXPECT_EQ(leArquivo(pasta / "alheio"), "de outro usuário");
        }

        fs::remove(pasta / "erros.txt");
        fs::create_symlink(pasta / "alheio", pasta / "erros.txt");
        try {
            salvaErrosCadastro(pasta / "erros.txt", c.linhas);
            ADD_FAILURE() << "gravou através do link";
        } catch (const ErroArquivo& e) {
            const std::string texto = e.what();
            EXPECT_NE(texto.find((pasta / "erros.txt").string() + " é um link simbólico"),
                      std::string::npos)
                << texto;
        }
        EXPECT_TRUE(fs::is_symlink(pasta / "erros.txt"));
        EXPECT_EQ(fs::read_symlink(pasta / "erros.txt"), pasta / "alheio");
        EXPECT_EQ(leArquivo(pasta / "alheio"), "de outro usuário");
        std::vector<std::string> nomes;
        for (const auto& e : fs::directory_iterator(pasta.caminho()))
            nomes.push_back(e.path().filename());
        std::sort(nomes.begin(), nomes.end());
        EXPECT_EQ(nomes, (std::vector<std::string>{"alheio", "erros.txt", "erros.txt.tmp"}));
    }
}

}  // namespace
}  // namespace cds

namespace cds {
namespace {

using teste::escreveArquivo;
using teste::leArquivo;
using teste::PastaTemporaria;
namespace fs = std::filesystem;

TEST(DeletaArquivosDir, PastaQueELinkSimbolicoNaoESeguida) {
    for (const char* grafia : {"/arquivosXML", "/arquivosXML/", "//arquivosXML//"}) {
        SCOPED_TRACE(grafia);
        PastaTemporaria base;
        // The operator's documents, and an arquivosXML that leads to them.
        fs::create_directory(base / "documentos");
        escreveArquivo(base / "documentos" / "contrato.pdf", "contrato");
        escreveArquivo(base / "documentos" / "FichaAntiga_1.esus.xml", "antiga");
        fs::create_directory_symlink(base / "documentos", base / "arquivosXML");

        try {
            DeletaArquivosDir(base.caminho().string() + grafia);
            ADD_FAILURE() << "esvaziou a pasta do link";
        } catch (const ErroArquivo& e) {
            EXPECT_NE(std::string(e.what()).find("link simbólico"), std::string::npos) << e.what();
        }
        EXPECT_EQ(leArquivo(base / "documentos" / "contrato.pdf"), "contrato");
        EXPECT_EQ(leArquivo(base / "documentos" / "FichaAntiga_1.esus.xml"), "antiga");
    }
}

}  // namespace
}  // namespace cds
