#include "export/arquivo_ini.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
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

TEST(ArquivoIni, PastaPadraoESaidaTemporariaSemSeparadorNoFim) {
    PastaTemporaria pasta;
    const char* anterior = std::getenv("TMPDIR");
    const std::string guardado = anterior ? anterior : "";
    ::setenv("TMPDIR", (pasta.caminho().string() + "/").c_str(), 1);
    const std::string padrao = caminhoXmlPadrao();
    if (anterior) {
        ::setenv("TMPDIR", guardado.c_str(), 1);
    } else {
        ::unsetenv("TMPDIR");
    }
    EXPECT_EQ(padrao, pasta.caminho().string());
}

}  // namespace
}  // namespace cds
