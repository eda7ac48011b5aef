#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "export/arquivo_ini.hpp"
#include "suporte/arquivos_teste.hpp"
#include "suporte/banco_teste.hpp"
#include "suporte/clinica.hpp"

namespace cds {

// What the command line left: its exit status and its two streams.
struct Saida {
    int status = -1;
    std::string saida;
    std::string erros;
};

// The built program run as an operator runs it, against a clinic of one care record in October
// 2019 and a config.ini that names it.
class LinhaDeComandoTest : public ::testing::Test {
  protected:
    LinhaDeComandoTest() {
        teste::insereClinica(banco);
        teste::insereEpisodio(banco, 1);
        ArquivoIni ini(config());
        ini.grava(kSecaoGeral, kChaveDatabase, banco.caminho());
        ini.grava(kSecaoGeral, kChaveCnesPrincipal, "2345678");
        ini.grava(kSecaoGeral, kChaveCaminhoXml, saida().string());
        ini.grava(kSecaoGeral, kChaveIbge, "4205407");
        ini.grava(kSecaoEsus, kChaveProfissionalGenerico, "10");
    }

    std::filesystem::path config() const { return pasta.caminho() / "config.ini"; }
    std::filesystem::path saida() const { return pasta.caminho() / "saida"; }

    // `ambiente`, when given, goes in front of the command ("ISC_PASSWORD=x").
    Saida executa(const std::string& argumentos, const std::string& ambiente = "") {
        banco.desconecta();
        const std::filesystem::path out = pasta.caminho() / "stdout.txt",
                                    err = pasta.caminho() / "stderr.txt";
        const std::string comando = ambiente + (ambiente.empty() ? "" : " ") +
                                    std::string(EXPORTADOR_CLI) + " " + argumentos + " >'" +
                                    out.string() + "' 2>'" + err.string() + "' </dev/null";
        const int r = std::system(comando.c_str());
        return {WIFEXITED(r) ? WEXITSTATUS(r) : -1, teste::leArquivo(out), teste::leArquivo(err)};
    }

    std::string comConfig(const std::string& resto) const {
        return "--config '" + config().string() +
               "' --data-inicial 01/10/2019 --data-final 31/10/2019 " + resto;
    }

    teste::PastaTemporaria pasta;
    teste::BancoTeste banco;
};

}  // namespace cds
