#include "export/arquivos.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "comum/erro.hpp"
#include "suporte/arquivos_teste.hpp"
#include "suporte/banco_teste.hpp"

namespace cds {
namespace {

using teste::escreveArquivo;
using teste::leArquivo;
using teste::PastaTemporaria;

namespace fs = std::filesystem;

TEST(DeletaArquivosDir, ApagaOsArquivosDaPastaEDeixaSubpastasEAPropriaPasta) {
    // The folder as the run may spell it: plain, with a trailing separator (a Caminho typed
    // with one), with a doubled separator inside.
    for (const char* grafia : {"/arquivosXML", "/arquivosXML/", "//arquivosXML"}) {
        PastaTemporaria base;
        const fs::path pasta = base / "arquivosXML";
        fs::create_directories(pasta / "cheia" / "funda");
        fs::create_directory(pasta / "vazia");
        for (const char* nome : {"FichaAtendimentoIndividual_1.esus.xml",
                                 "FichaProcedimento_2.esus.xml", ".oculto", "sem-extensao"}) {
            escreveArquivo(pasta / nome, "x");
        }
        escreveArquivo(pasta / "cheia" / "dentro.xml", "fica");
        escreveArquivo(pasta / "cheia" / "funda" / "mais.xml", "fica");
        escreveArquivo(base / "FichasValmo_03112019_1405_01102019_31102019.zip", "fica");

        const std::string RootDir = base.caminho().string() + grafia;
        DeletaArquivosDir(RootDir);

        std::vector<std::string> restantes;
        for (const auto& e : fs::recursive_directory_iterator(pasta))
            restantes.push_back(fs::relative(e.path(), pasta).generic_string());
        std::sort(restantes.begin(), restantes.end());
        EXPECT_EQ(restantes, (std::vector<std::string>{"cheia", "cheia/dentro.xml", "cheia/funda",
                                                       "cheia/funda/mais.xml", "vazia"}))
            << RootDir;
        EXPECT_TRUE(fs::is_directory(pasta)) << RootDir;
        EXPECT_TRUE(fs::exists(base / "FichasValmo_03112019_1405_01102019_31102019.zip"));
    }
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
