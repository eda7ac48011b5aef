#include "export/arquivo_ini.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "comum/erro.hpp"
#include "suporte/arquivos_teste.hpp"
#include "suporte/banco_teste.hpp"
#include "suporte/disco_teste.hpp"

namespace cds {
namespace {

using teste::escreveArquivo;
using teste::leArquivo;
using teste::PastaTemporaria;

namespace fs = std::filesystem;

// The non-empty lines of a file written with CR LF; fails the test on a bare LF.
std::vector<std::string> linhasCrlf(const std::string& bytes) {
    std::vector<std::string> linhas;
    std::size_t inicio = 0;
    while (inicio < bytes.size()) {
        const std::size_t fim = bytes.find("\r\n", inicio);
        EXPECT_NE(fim, std::string::npos) << "última linha sem CR LF";
        const std::string linha = bytes.substr(inicio, fim - inicio);
        EXPECT_EQ(linha.find('\n'), std::string::npos) << "LF sem CR em: " << linha;
        if (!linha.empty()) linhas.push_back(linha);
        if (fim == std::string::npos) break;
        inicio = fim + 2;
    }
    return linhas;
}

std::string comLf(std::string texto) {
    std::string saida;
    for (const char c : texto)
        if (c != '\r') saida += c;
    return saida;
}

TEST(ArquivoIni, LeComoUmArquivoDePerfilDoWindows) {
    const std::string conteudo =
        "; configuração da clínica\r\n"
        "[geral]\r\n"
        "caminhoXml=C:\\temp\\xml\r\n"
        "DataBase = servidor:C:\\dados\\CLINICA.GDB  \r\n"
        "IBGE=\r\n"
        "NOME=\"Unidade Central\"\r\n"
        "CIDADE=S\xC3\xA3o Jos\xC3\xA9\r\n"
        "\r\n"
        "[esus]\r\n"
        "ProfissionalGenerico=12\r\n";
    struct Caso {
        std::string secao, chave, padrao, esperado;
    };
    const Caso casos[] = {
        {"GERAL", "CAMINHOXML", "x", "C:\\temp\\xml"},
        {"Geral", "database", "", "servidor:C:\\dados\\CLINICA.GDB"},
        // Present but empty is not absent.
        {"GERAL", "IBGE", "padrão", ""},
        {"GERAL", "NOME", "", "Unidade Central"},
        {"GERAL", "CIDADE", "", "S\xC3\xA3o Jos\xC3\xA9"},
        {"GERAL", "CNESPRINCIPAL", "padrão", "padrão"},
        {"ESUS", "PROFISSIONALGENERICO", "", "12"},
        // A key of another section is not this section's.
        {"ESUS", "CAMINHOXML", "padrão", "padrão"},
        {"OUTRA", "IBGE", "padrão", "padrão"},
    };
    // Edited by hand the file may have bare LF line ends, or a UTF-8 byte-order mark.
    for (const std::string& texto : {conteudo, comLf(conteudo), "\xEF\xBB\xBF" + conteudo}) {
        PastaTemporaria pasta;
        escreveArquivo(pasta / "config.ini", texto);
        const ArquivoIni ini(pasta / "config.ini");
        for (const Caso& c : casos) {
            EXPECT_EQ(ini.le(c.secao, c.chave, c.padrao), c.esperado)
                << c.secao << "/" << c.chave << " em "
                << testing::PrintToString(texto.substr(0, 8));
        }
    }
}

TEST(ArquivoIni, ArquivoAusenteLeOPadraoENaoECriado) {
    PastaTemporaria pasta;
    const ArquivoIni ini(pasta / "config.ini");
    EXPECT_EQ(ini.le(kSecaoGeral, kChaveCaminhoXml, "C:\\temp"), "C:\\temp");
    EXPECT_EQ(ini.le(kSecaoGeral, kChaveDatabase, ""), "");
    EXPECT_FALSE(fs::exists(pasta / "config.ini"));
}

TEST(ArquivoIni, PrimeiraGravacaoCriaOArquivo) {
    PastaTemporaria pasta;
    ArquivoIni ini(pasta / "config.ini");
    ini.grava(kSecaoGeral, kChaveCaminhoXml, "C:\\temp\\saída");
    // No blanks around "=", the backslash as typed, UTF-8, CR LF.
    EXPECT_EQ(leArquivo(pasta / "config.ini"),
              "[GERAL]\r\nCAMINHOXML=C:\\temp\\sa\xC3\xAD"
              "da\r\n");

    // A new file of the program's is its owner's alone; one that exists keeps its permissions.
    EXPECT_EQ(fs::status(pasta / "config.ini").permissions(),
              fs::perms::owner_read | fs::perms::owner_write);

    ini.grava(kSecaoEsus, kChaveProfissionalGenerico, "7");
    EXPECT_EQ(linhasCrlf(leArquivo(pasta / "config.ini")),
              (std::vector<std::string>{"[GERAL]", "CAMINHOXML=C:\\temp\\saída", "[ESUS]",
                                        "PROFISSIONALGENERICO=7"}));

    const ArquivoIni outro(pasta / "config.ini");
    EXPECT_EQ(outro.le("geral", "caminhoxml", ""), "C:\\temp\\saída");
    EXPECT_EQ(outro.le("esus", "profissionalgenerico", ""), "7");
}

TEST(ArquivoIni, GravacaoSubstituiSoAChaveEMantemAsOutrasLinhas) {
    PastaTemporaria pasta;
    escreveArquivo(pasta / "config.ini",
                   "; configuração da clínica\r\n"
                   "[geral]\r\n"
                   "caminhoxml=C:\\antigo\r\n"
                   "DATABASE=servidor:C:\\dados\\CLINICA.GDB\r\n"
                   "IBGE=3550308\r\n"
                   "\r\n"
                   "; profissional das fichas de cadastro\r\n"
                   "[ESUS]\r\n"
                   "PROFISSIONALGENERICO=12\r\n");
    ArquivoIni ini(pasta / "config.ini");
    ini.grava("GERAL", "CAMINHOXML", "/srv/esus");

    EXPECT_EQ(linhasCrlf(leArquivo(pasta / "config.ini")),
              (std::vector<std::string>{
                  "; configuração da clínica", "[geral]", "caminhoxml=/srv/esus",
                  "DATABASE=servidor:C:\\dados\\CLINICA.GDB", "IBGE=3550308",
                  "; profissional das fichas de cadastro", "[ESUS]", "PROFISSIONALGENERICO=12"}));
    EXPECT_EQ(ini.le("GERAL", "CAMINHOXML", ""), "/srv/esus");
    EXPECT_EQ(ini.le("GERAL", "IBGE", ""), "3550308");
}

TEST(ArquivoIni, VeAsEdicoesFeitasAMaoEntreLeituras) {
    PastaTemporaria pasta;
    const fs::path arquivo = pasta / "config.ini";
    const ArquivoIni ini(arquivo);

    escreveArquivo(arquivo, "[GERAL]\r\nIBGE=1\r\n");
    EXPECT_EQ(ini.le("GERAL", "IBGE", "?"), "1");

    escreveArquivo(arquivo, "[GERAL]\r\nIBGE=3550308\r\n");
    EXPECT_EQ(ini.le("GERAL", "IBGE", "?"), "3550308");

    // Same size: only the modification time tells the edit apart.
    const fs::file_time_type antes = fs::last_write_time(arquivo);
    escreveArquivo(arquivo, "[GERAL]\r\nIBGE=4106902\r\n");
    fs::last_write_time(arquivo, antes + std::chrono::seconds(10));
    EXPECT_EQ(ini.le("GERAL", "IBGE", "?"), "4106902");

    fs::remove(arquivo);
    EXPECT_EQ(ini.le("GERAL", "IBGE", "?"), "?");

    escreveArquivo(arquivo, "[GERAL]\r\nIBGE=2\r\n");
    EXPECT_EQ(ini.le("GERAL", "IBGE", "?"), "2");
}

TEST(ArquivoIni, GravacaoNaoDesfazEdicaoFeitaAMaoDepoisDaUltimaLeitura) {
    PastaTemporaria pasta;
    const fs::path arquivo = pasta / "config.ini";
    escreveArquivo(arquivo, "[GERAL]\r\nCAMINHOXML=/a\r\n");
    ArquivoIni ini(arquivo);
    EXPECT_EQ(ini.le("GERAL", "CAMINHOXML", ""), "/a");

    escreveArquivo(arquivo, "[GERAL]\r\nCAMINHOXML=/a\r\nDATABASE=/dados/clinica.fdb\r\n");
    ini.grava("ESUS", "PROFISSIONALGENERICO", "3");

    const ArquivoIni outro(arquivo);
    EXPECT_EQ(outro.le("GERAL", "DATABASE", ""), "/dados/clinica.fdb");
    EXPECT_EQ(outro.le("ESUS", "PROFISSIONALGENERICO", ""), "3");
}

TEST(ArquivoIni, ArquivoQueNaoPodeSerGravadoLevantaErro) {
    PastaTemporaria pasta;
    // In a folder that does not exist, and where a folder takes the file's name.
    fs::create_directory(pasta / "config.ini");
    for (const fs::path& arquivo : {pasta / "nao-existe" / "config.ini", pasta / "config.ini"}) {
        ArquivoIni ini(arquivo);
        EXPECT_EQ(ini.le("GERAL", "IBGE", "padrão"), "padrão") << arquivo;
        EXPECT_THROW(ini.grava("GERAL", "IBGE", "1"), ErroArquivo) << arquivo;
    }
}

// The output folder when config.ini names none: one of the user's own, never the shared
// temporary folder, without a trailing separator.
TEST(ArquivoIni, PastaPadraoEDoUsuarioENaoATemporaria) {
    struct Caso {
        const char* descricao;
        const char* xdg;
        const char* casa;
        std::string esperada;
    };
    const Caso casos[] = {
        {"XDG_DATA_HOME", "/srv/dados/", "/home/ana", "/srv/dados/exportador-cds"},
        {"sem XDG_DATA_HOME", nullptr, "/home/ana", "/home/ana/.local/share/exportador-cds"},
        {"sem pasta do usuário", nullptr, nullptr, ""},
    };
    PastaTemporaria temporaria;
    const auto guarda = [](const char* nome) -> std::optional<std::string> {
        const char* valor = std::getenv(nome);
        return valor ? std::optional<std::string>(valor) : std::nullopt;
    };
    const auto poe = [](const char* nome, const std::optional<std::string>& valor) {
        if (valor)
            ::setenv(nome, valor->c_str(), 1);
        else
            ::unsetenv(nome);
    };
    const std::optional<std::string> tmpdir = guarda("TMPDIR"), xdg = guarda("XDG_DATA_HOME"),
                                     casa = guarda("HOME");
    for (const Caso& c : casos) {
        ::setenv("TMPDIR", temporaria.caminho().c_str(), 1);
        poe("XDG_DATA_HOME", c.xdg ? std::optional<std::string>(c.xdg) : std::nullopt);
        poe("HOME", c.casa ? std::optional<std::string>(c.casa) : std::nullopt);
        EXPECT_EQ(caminhoXmlPadrao(), c.esperada) << c.descricao;
    }
    poe("TMPDIR", tmpdir);
    poe("XDG_DATA_HOME", xdg);
    poe("HOME", casa);
}

}  // namespace
}  // namespace cds

namespace cds {
namespace {

using teste::escreveArquivo;
using teste::leArquivo;
using teste::PastaTemporaria;
namespace fs = std::filesystem;

// Bytes as a Firebird database begins: a page header, mostly zeros.
std::string comoUmBancoDeDados() {
    std::string bytes("\x01\x00\x39\x30\x00\x00\x00\x00", 8);
    for (int i = 0; i < 4096; ++i) bytes += static_cast<char>((i * 7) % 256);
    return bytes;
}

std::string emUtf16(const std::string& ascii, bool marca) {
    std::string bytes = marca ? std::string("\xFF\xFE") : std::string();
    for (const char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

TEST(ArquivoIni, ArquivoQueNaoSeLeComoConfiguracaoNaoEReescrito) {
    struct Caso {
        std::string descricao;
        std::string bytes;
        // Part of what the error says of the file.
        std::string motivo;
    };
    const std::string config = "[GERAL]\r\nDATABASE=/dados/clinica.fdb\r\nCAMINHOXML=/srv\r\n";
    std::vector<Caso> casos = {
        {"um banco de dados", comoUmBancoDeDados(), "não é um arquivo de texto"},
        {"UTF-16 do Bloco de Notas", emUtf16(config, true), "UTF-16"},
        {"UTF-16 sem marca", emUtf16(config, false), "bytes nulos"},
        {"lixo com caracteres de controle", config + "\x1B[2J\x07\r\n", "caractere de controle"},
        {"uma linha solta", config + "lembrar de trocar a senha\r\n", "linha 4"},
        {"uma seção sem fecho", config + "[ESUS\r\nPROFISSIONALGENERICO=9\r\n", "linha 4"},
        {"uma chave sem nome", config + "=9\r\n", "linha 4"},
        {"uma chave repetida", config + "database=/outro.fdb\r\n", "DATABASE aparece duas vezes"},
        {"grande demais", config + std::string(1024 * 1024, ';') + "\r\n", "bytes"},
        // Read as Windows-1252 the path would lead to another folder; read as UTF-8 the
        // comment would be no text.
        {"UTF-8 com um byte em ANSI num comentário",
         "; cl\xEDnica\r\n[GERAL]\r\nCAMINHOXML=/srv/exporta\xC3\xA7\xC3\xA3o\r\n",
         "mistura UTF-8 e ANSI (Windows-1252): a linha 1 tem um byte que não é UTF-8 (0xED), e a "
         "linha 3 tem texto em UTF-8; salve-o todo em UTF-8"},
        {"UTF-8 e depois um valor em ANSI", config + "NOME=Jos\xC3\xA9\r\nIBGE=S\xE3o Lu\xEDs\r\n",
         "a linha 5 tem um byte que não é UTF-8 (0xE3), e a linha 4 tem texto em UTF-8"},
        {"marca de UTF-8 e um valor em ANSI", "\xEF\xBB\xBF[GERAL]\r\nIBGE=S\xE3o Lu\xEDs\r\n",
         "a linha 2 tem um byte que não é UTF-8 (0xE3), e o arquivo começa com a marca de UTF-8"},
    };
    // The bytes Windows-1252 gives no character, in a file that is otherwise Windows-1252.
    for (const char byte : {'\x81', '\x8D', '\x8F', '\x90', '\x9D'}) {
        char hexa[8];
        std::snprintf(hexa, sizeof hexa, "0x%02X", static_cast<unsigned char>(byte));
        casos.push_back({"o byte indefinido " + std::string(hexa),
                         config + "NOTA=S\xE3o " + std::string(1, byte) + "\r\n",
                         "a linha 4 tem o byte " + std::string(hexa) +
                             ", que não é texto nem em UTF-8 nem em ANSI (Windows-1252)"});
    }
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.descricao);
        PastaTemporaria pasta;
        const fs::path arquivo = pasta / "config.ini";
        escreveArquivo(arquivo, c.bytes);
        ArquivoIni ini(arquivo);

        EXPECT_EQ(ini.le(kSecaoGeral, kChaveCaminhoXml, "padrão"), "padrão");
        for (const auto& acao :
             {std::function<void()>([&] { ini.verifica(); }),
              std::function<void()>([&] { ini.grava(kSecaoGeral, kChaveCaminhoXml, "/outra"); })}) {
            try {
                acao();
                ADD_FAILURE() << "aceitou o arquivo";
            } catch (const ErroArquivo& e) {
                const std::string texto = e.what();
                EXPECT_NE(texto.find(arquivo.string()), std::string::npos) << texto;
                EXPECT_NE(texto.find(c.motivo), std::string::npos) << texto;
            }
        }
        EXPECT_EQ(leArquivo(arquivo), c.bytes);
        // Nothing else was left in the folder.
        EXPECT_EQ(std::distance(fs::directory_iterator(pasta.caminho()), fs::directory_iterator()),
                  1);
    }
}

TEST(ArquivoIni, ArquivoEmAnsiEComentariosDoFimSaoMantidos) {
    // Saved by Notepad in the ANSI code page: not UTF-8, and still a settings file whose bytes
    // are kept.
    PastaTemporaria pasta;
    const fs::path arquivo = pasta / "config.ini";
    escreveArquivo(arquivo,
                   "; cl\xEDnica S\xE3o Jos\xE9\r\n[GERAL]\r\nNOME=S\xE3o Jos\xE9\r\n\r\n"
                   "; no fim do arquivo\r\n;DATABASE=/antigo.fdb\r\n");
    ArquivoIni ini(arquivo);
    EXPECT_NO_THROW(ini.verifica());
    ini.grava(kSecaoGeral, kChaveIbge, "4216602");
    const std::string bytes = leArquivo(arquivo);
    EXPECT_NE(bytes.find("; cl\xEDnica S\xE3o Jos\xE9\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("NOME=S\xE3o Jos\xE9\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("IBGE=4216602\r\n"), std::string::npos);
    // The comments after the last key stay, after what was written.
    EXPECT_TRUE(bytes.ends_with("\r\n; no fim do arquivo\r\n;DATABASE=/antigo.fdb\r\n")) << bytes;
    ini.grava(kSecaoEsus, kChaveProfissionalGenerico, "9");
    EXPECT_TRUE(leArquivo(arquivo).ends_with("; no fim do arquivo\r\n;DATABASE=/antigo.fdb\r\n"));
}

// Text that is not UTF-8 was saved by an editor of Windows in its ANSI code page: it is read as
// Windows-1252, so that the values reach the records as text, and written back in it.
TEST(ArquivoIni, ArquivoEmAnsiLidoComoWindows1252) {
    PastaTemporaria pasta;
    const fs::path arquivo = pasta / "config.ini";
    const std::string antes =
        "; S\xE3o Lu\xEDs\r\n[GERAL]\r\nIBGE=S\xE3o Lu\xEDs\r\nCAMINHOXML=C:\\Exporta\xE7\xE3o\r\n"
        "NOTA=\x80 \x93x\x94\r\n";
    escreveArquivo(arquivo, antes);
    ArquivoIni ini(arquivo);
    const std::pair<const char*, const char*> casos[] = {
        {kChaveIbge, "São Luís"},
        {kChaveCaminhoXml, "C:\\Exportação"},
        {"NOTA", "€ “x”"},
    };
    for (const auto& [chave, valor] : casos) EXPECT_EQ(ini.le(kSecaoGeral, chave, ""), valor);

    // Written back in Windows-1252: the new value in it, every other byte as it was.
    ini.grava(kSecaoGeral, kChaveCaminhoXml, "D:\\Saída");
    const std::string depois = leArquivo(arquivo);
    EXPECT_EQ(depois.find("\xC3"), std::string::npos) << depois;
    for (const char* linha : {"; S\xE3o Lu\xEDs\r\n", "IBGE=S\xE3o Lu\xEDs\r\n",
                              "CAMINHOXML=D:\\Sa\xED"
                              "da\r\n",
                              "NOTA=\x80 \x93x\x94\r\n"})
        EXPECT_NE(depois.find(linha), std::string::npos) << linha;
    EXPECT_EQ(ArquivoIni(arquivo).le(kSecaoGeral, kChaveCaminhoXml, ""), "D:\\Saída");

    // A value Windows-1252 cannot hold is not written, rather than written as "?".
    EXPECT_THROW(ini.grava(kSecaoGeral, kChaveCaminhoXml, "D:\\日本"), ErroArquivo);
    EXPECT_EQ(leArquivo(arquivo), depois);
}

TEST(ArquivoIni, ValorComQuebraDeLinhaOuControleERecusado) {
    const std::string antes = "[GERAL]\r\nDATABASE=/dados/clinica.fdb\r\n";
    for (const std::string& valor :
         {std::string("9\n[GERAL]\nDATABASE=/outro.fdb"), std::string("/srv\r\nIBGE=1"),
          std::string("a\rb"), std::string("a\tb"), std::string("a\x01"), std::string("a\x7F"),
          std::string("a\0b", 3)}) {
        SCOPED_TRACE(testing::PrintToString(valor));
        PastaTemporaria pasta;
        escreveArquivo(pasta / "config.ini", antes);
        ArquivoIni ini(pasta / "config.ini");
        EXPECT_THROW(ini.grava(kSecaoEsus, kChaveProfissionalGenerico, valor), ErroArquivo);
        EXPECT_EQ(leArquivo(pasta / "config.ini"), antes);
        EXPECT_EQ(ini.le(kSecaoEsus, kChaveProfissionalGenerico, "ausente"), "ausente");
    }
}

TEST(ArquivoIni, DiscoCheioDeixaOArquivoComoEstava) {
    teste::DiscoPequeno disco(64 * 1024);
    if (!disco.montado()) GTEST_SKIP() << disco.motivo();
    // Settings of 20 KiB, on a disk with less than that left free.
    std::string antes = "[GERAL]\r\nDATABASE=/dados/clinica.fdb\r\n";
    for (int i = 0; antes.size() < 20 * 1024; ++i)
        antes += "CHAVE" + std::to_string(i) + "=um valor que ocupa lugar\r\n";
    const fs::path arquivo = disco / "config.ini";
    escreveArquivo(arquivo, antes);
    disco.enche(8 * 1024);
    ArquivoIni ini(arquivo);

    try {
        ini.grava(kSecaoGeral, kChaveCaminhoXml, "/srv/esus");
        ADD_FAILURE() << "gravou num disco cheio";
    } catch (const ErroArquivo& e) {
        EXPECT_NE(std::string(e.what()).find(arquivo.string()), std::string::npos) << e.what();
    }

    EXPECT_EQ(leArquivo(arquivo), antes);
    std::vector<std::string> nomes;
    for (const auto& e : fs::directory_iterator(disco.caminho()))
        nomes.push_back(e.path().filename());
    std::sort(nomes.begin(), nomes.end());
    EXPECT_EQ(nomes, (std::vector<std::string>{".enchimento", "config.ini"}));
    EXPECT_EQ(ini.le(kSecaoGeral, kChaveDatabase, ""), "/dados/clinica.fdb");
    EXPECT_EQ(ini.le(kSecaoGeral, kChaveCaminhoXml, "ausente"), "ausente");
}

TEST(ArquivoIni, GravacaoMantemAsPermissoesEOLink) {
    PastaTemporaria pasta;
    fs::create_directory(pasta / "comum");
    const fs::path alvo = pasta / "comum" / "config.ini";
    escreveArquivo(alvo, "[GERAL]\r\nDATABASE=/dados/clinica.fdb\r\n");
    fs::permissions(alvo, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink(alvo, pasta / "config.ini");

    ArquivoIni ini(pasta / "config.ini");
    ini.grava(kSecaoGeral, kChaveIbge, "1");

    EXPECT_TRUE(fs::is_symlink(pasta / "config.ini"));
    EXPECT_NE(leArquivo(alvo).find("IBGE=1\r\n"), std::string::npos);
    EXPECT_EQ(fs::status(alvo).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

}  // namespace
}  // namespace cds
