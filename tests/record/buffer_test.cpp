#include "record/buffer.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "comum/erro.hpp"
#include "suporte/disco_teste.hpp"

namespace cds {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

std::string leArquivo(const fs::path& caminho) {
    std::ifstream arquivo(caminho, std::ios::binary);
    return {std::istreambuf_iterator<char>(arquivo), std::istreambuf_iterator<char>()};
}

std::string utf8(const fs::path& caminho) {
    const std::u8string u = caminho.u8string();
    return {u.begin(), u.end()};
}

class RegistroBufferArquivo : public ::testing::Test {
  protected:
    void SetUp() override {
        pasta = fs::temp_directory_path() /
                ("record_buffer_" + std::to_string(std::random_device{}()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(pasta);
        fs::create_directories(pasta);
    }
    void TearDown() override { fs::remove_all(pasta); }

    // The names left in the folder, to see that no temporary stayed behind.
    std::vector<std::string> arquivos() const {
        std::vector<std::string> nomes;
        for (const auto& e : fs::directory_iterator(pasta))
            nomes.push_back(utf8(e.path().filename()));
        return nomes;
    }

    fs::path pasta;
};

TEST(RegistroBuffer, LinhasTerminamEmCrlfInclusiveAUltima) {
    RegistroBuffer buffer;
    buffer.adiciona("<?xml version=\"1.0\"?>");
    buffer.adicionaVazia();
    buffer.adicionaElemento("nome", "A & B");
    buffer.adiciona("");
    EXPECT_EQ(buffer.texto(), "<?xml version=\"1.0\"?>\r\n\r\n<nome>A &amp; B</nome>\r\n\r\n");

    buffer.limpa();
    EXPECT_EQ(buffer.texto(), "");
    buffer.adiciona("<a/>");
    EXPECT_EQ(buffer.texto(), "<a/>\r\n");
}

// The importer discards a whole record for one empty number, so such an element goes only
// when it has a value; a text element is written even when empty.
TEST(RegistroBuffer, NumeroVazioFicaDeFora) {
    struct Caso {
        std::string valor;
        std::string linha;
    };
    const Caso casos[] = {
        {"", ""},
        {" ", ""},
        {"   \t", ""},
        {"0", "<turno>0</turno>\r\n"},
        {"12", "<turno>12</turno>\r\n"},
        {"-36001000", "<turno>-36001000</turno>\r\n"},
        {" 7 ", "<turno> 7 </turno>\r\n"},
    };
    for (const Caso& c : casos) {
        RegistroBuffer buffer;
        buffer.adicionaNumero("turno", c.valor);
        EXPECT_EQ(buffer.texto(), c.linha) << "'" << c.valor << "'";
    }
    RegistroBuffer texto;
    texto.adicionaElemento("lote", "");
    EXPECT_EQ(texto.texto(), "<lote></lote>\r\n");
}

TEST_F(RegistroBufferArquivo, SalvaUtf8SemBomComCrlf) {
    RegistroBuffer buffer;
    buffer.adiciona("<nomeCidadao>JOÃO</nomeCidadao>");
    buffer.adicionaVazia();
    const fs::path caminho = pasta / "FichaAtendimentoIndividual_1.esus.xml";
    buffer.salva(utf8(caminho));

    EXPECT_EQ(leArquivo(caminho), "<nomeCidadao>JO\xC3\x83O</nomeCidadao>\r\n\r\n");
    EXPECT_THAT(arquivos(), ::testing::ElementsAre("FichaAtendimentoIndividual_1.esus.xml"));
}

TEST_F(RegistroBufferArquivo, SubstituiArquivoMaisLongoPorInteiro) {
    const fs::path caminho = pasta / "FichaVacinacao_345.esus.xml";
    std::ofstream(caminho, std::ios::binary) << std::string(5000, 'x');

    RegistroBuffer buffer;
    buffer.adiciona("<a/>");
    buffer.salva(utf8(caminho));
    EXPECT_EQ(leArquivo(caminho), "<a/>\r\n");
    EXPECT_THAT(arquivos(), ::testing::ElementsAre("FichaVacinacao_345.esus.xml"));
}

// The state a save gives is the one the file has under its name afterwards, so that the
// packing can tell later whether the file is still the one saved: after the rename, not of
// the temporary before it.
TEST_F(RegistroBufferArquivo, EstadoDaGravacaoEODoArquivoNoLugar) {
    const fs::path caminho = pasta / "FichaProcedimento_8.esus.xml";
    RegistroBuffer buffer;
    buffer.adiciona("<primeira/>");
    const std::optional<EstadoArquivo> primeira = buffer.salva(utf8(caminho));
    ASSERT_TRUE(primeira.has_value());
    const auto igual = [](const EstadoArquivo& a, const EstadoArquivo& b) {
        return a.identidade == b.identidade && a.tamanho == b.tamanho && a.mudanca == b.mudanca &&
               a.gravacao == b.gravacao;
    };
    std::optional<EstadoArquivo> noDisco = estadoArquivo(caminho);
    ASSERT_TRUE(noDisco.has_value());
    EXPECT_TRUE(igual(*primeira, *noDisco));
    EXPECT_EQ(primeira->tamanho, 13);

    // Saved again: another file in its place, and its own state.
    buffer.limpa();
    buffer.adiciona("<segunda gravação/>");
    const std::optional<EstadoArquivo> segunda = buffer.salva(utf8(caminho));
    ASSERT_TRUE(segunda.has_value());
    noDisco = estadoArquivo(caminho);
    ASSERT_TRUE(noDisco.has_value());
    EXPECT_TRUE(igual(*segunda, *noDisco));
    EXPECT_FALSE(igual(*primeira, *segunda));
}

// A link planted beside a record, where earlier versions wrote its temporary file, or at the
// record's own name, makes the save write through it into a file of someone else's choosing.
// The save never follows one: a temporary is always a new file of a name no one can foresee,
// and a link at the record's name is refused, left as it is with what it leads to.
TEST_F(RegistroBufferArquivo, LinkPlantadoNaoESeguido) {
    const fs::path alheio = pasta / "alheio";
    const fs::path ficha = pasta / "FichaVacinacao_345.esus.xml";
    struct Caso {
        const char* descricao;
        fs::path link;
        bool recusada;
    };
    const Caso casos[] = {
        {"no nome do temporário antigo", pasta / "FichaVacinacao_345.esus.xml.tmp", false},
        {"no nome da ficha", ficha, true},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.descricao);
        fs::remove(ficha);
        std::ofstream(alheio, std::ios::binary) << "só do root";
        fs::create_symlink(alheio, c.link);
        RegistroBuffer buffer;
        buffer.adicionaElemento("nomeCidadao", "MARIA");
        try {
            buffer.salva(utf8(ficha));
            EXPECT_FALSE(c.recusada) << "gravou pelo link";
            EXPECT_EQ(leArquivo(ficha), "<nomeCidadao>MARIA</nomeCidadao>\r\n");
        } catch (const ErroArquivo& e) {
            EXPECT_TRUE(c.recusada) << e.what();
            EXPECT_EQ(std::string(e.what()),
                      "O arquivo " + utf8(ficha) +
                          " é um link simbólico, que a exportação não substitui nem segue; nada "
                          "foi gravado nele nem no arquivo a que ele leva. Apague o link e gere "
                          "os arquivos de novo.");
        }
        EXPECT_EQ(leArquivo(alheio), "só do root");
        EXPECT_TRUE(fs::is_symlink(c.link));
        EXPECT_EQ(fs::read_symlink(c.link), alheio);
        // Nothing else was left in the folder: no temporary.
        std::vector<std::string> esperados = {"FichaVacinacao_345.esus.xml", "alheio"};
        if (!c.recusada) esperados.push_back("FichaVacinacao_345.esus.xml.tmp");
        std::sort(esperados.begin(), esperados.end());
        std::vector<std::string> nomes = arquivos();
        std::sort(nomes.begin(), nomes.end());
        EXPECT_EQ(nomes, esperados);
        fs::remove(c.link);
    }
}

// A record holds a citizen's health data: its file is its owner's alone, whatever the umask.
TEST_F(RegistroBufferArquivo, FichaSoDoDono) {
    const mode_t umaskAntes = ::umask(0);
    RegistroBuffer buffer;
    buffer.adiciona("<a/>");
    const fs::path caminho = pasta / "FichaVacinacao_345.esus.xml";
    buffer.salva(utf8(caminho));
    // Saved again over itself, as a record's further rows are.
    buffer.salva(utf8(caminho));
    ::umask(umaskAntes);
    EXPECT_EQ(fs::status(caminho).permissions(), fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(RegistroBufferArquivo, CaminhoComAcentos) {
    const fs::path sub = pasta / fs::path(u8"importação");
    fs::create_directories(sub);
    RegistroBuffer buffer;
    buffer.adiciona("<a/>");
    buffer.salva(utf8(sub / "F_1.esus.xml"));
    EXPECT_EQ(leArquivo(sub / "F_1.esus.xml"), "<a/>\r\n");
}

TEST_F(RegistroBufferArquivo, ArquivoQueNaoPodeSerCriadoLevantaErroComOCaminho) {
    RegistroBuffer buffer;
    buffer.adiciona("<a/>");

    // The folder does not exist.
    const std::string semPasta = utf8(pasta / "arquivosXML" / "F_1.esus.xml");
    try {
        buffer.salva(semPasta);
        FAIL() << "salvou em pasta inexistente";
    } catch (const ErroArquivo& e) {
        EXPECT_THAT(e.what(), HasSubstr(semPasta));
    }

    // A folder stands where the file should go: nothing written, no temporary left.
    const fs::path ocupado = pasta / "F_2.esus.xml";
    fs::create_directories(ocupado / "dentro");
    EXPECT_THROW(buffer.salva(utf8(ocupado)), ErroArquivo);
    EXPECT_THAT(arquivos(), ::testing::ElementsAre("F_2.esus.xml"));
    EXPECT_TRUE(fs::is_directory(ocupado));
}

// A byte that is not UTF-8 (a Windows-1252 "é", a sequence cut short) would make the whole file
// unreadable to the importer: the file is not written, and an earlier one stays as it was.
TEST_F(RegistroBufferArquivo, TextoQueNaoEUtf8NaoEGravado) {
    const fs::path caminho = pasta / "FichaVacinacao_7.esus.xml";
    std::ofstream(caminho, std::ios::binary) << "anterior";
    for (const char* valor : {"caf\xE9", "S\xE3o Lu\xEDs", "\xC3", "\xED\xA0\x80"}) {
        RegistroBuffer buffer;
        buffer.adicionaElemento("codIbge", valor);
        try {
            buffer.salva(utf8(caminho));
            ADD_FAILURE() << "gravou " << valor;
        } catch (const ErroConversao& e) {
            EXPECT_THAT(e.what(), HasSubstr("não é UTF-8 válido"));
            EXPECT_THAT(e.what(), HasSubstr(utf8(caminho)));
        }
        EXPECT_EQ(leArquivo(caminho), "anterior");
        EXPECT_THAT(arquivos(), ::testing::ElementsAre("FichaVacinacao_7.esus.xml"));
    }
}

// What failed and why: the file's name, the reason in Portuguese, the system's own text.
TEST_F(RegistroBufferArquivo, ArquivoQueNaoPodeSerCriadoDizPorQue) {
    RegistroBuffer buffer;
    buffer.adiciona("<a/>");
    fs::create_directories(pasta / "F_2.esus.xml" / "dentro");
    std::ofstream(pasta / "nota.txt") << "x";
    teste::DiscoPequeno disco(64 * 1024);
    if (disco.montado()) disco.enche();
    struct Caso {
        const char* descricao;
        fs::path caminho;
        int erro;
        std::string motivo;
    };
    const Caso casos[] = {
        {"pasta que não existe", pasta / "arquivosXML" / "F_1.esus.xml", ENOENT,
         "o arquivo ou a pasta não existe"},
        {"uma pasta no lugar", pasta / "F_2.esus.xml", EISDIR,
         "há uma pasta com esse nome no lugar"},
        {"um arquivo no caminho", pasta / "nota.txt" / "F_3.esus.xml", ENOTDIR,
         "uma parte do caminho não é uma pasta"},
        {"disco cheio", disco / "F_4.esus.xml", ENOSPC, "o disco está cheio"},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.descricao);
        if (c.erro == ENOSPC && !disco.montado()) {
            std::cout << "[ PULADO ] " << c.descricao << ": " << disco.motivo() << '\n';
            continue;
        }
        try {
            buffer.salva(utf8(c.caminho));
            ADD_FAILURE() << "gravou";
        } catch (const ErroArquivo& e) {
            EXPECT_EQ(std::string(e.what()), "Não foi possível criar o arquivo " + utf8(c.caminho) +
                                                 ": " + c.motivo +
                                                 ". Detalhe: " + std::strerror(c.erro) + ".");
        }
    }
    // Nothing was left behind, a temporary included.
    EXPECT_EQ(arquivos().size(), 2u);
    if (disco.montado()) {
        for (const auto& e : fs::directory_iterator(disco.caminho()))
            EXPECT_EQ(e.path().filename(), ".enchimento");
    }
}

}  // namespace
}  // namespace cds
