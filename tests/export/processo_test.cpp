// What each program's main sets for the whole process before anything else.

#include "export/processo.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "comum/erro.hpp"
#include "source/conexao.hpp"
#include "source/consulta.hpp"
#include "suporte/banco_teste.hpp"

namespace cds {
namespace {

namespace fs = std::filesystem;

// Once prepared, the embedded engine this process starts takes the program's configuration
// from the user's cache folder: its page cache is the program's size, not the installed
// server's; and a write to a closed pipe no longer ends the process. A cache folder that
// cannot be made stops it first, saying where, and sets nothing. Run, as ctest runs each
// test, in a process of its own whose engine has not started yet.
TEST(PreparaProcesso, MotorComAConfiguracaoDoProgramaESigpipeIgnorado) {
    if (const char* raiz = std::getenv("FIREBIRD"))
        GTEST_SKIP() << "FIREBIRD escolhido fora do programa: " << raiz;
    teste::PastaTemporaria pasta;
    { std::ofstream(pasta / "arquivo") << ""; }
    ::setenv("XDG_CACHE_HOME", (pasta / "arquivo").c_str(), 1);
    try {
        preparaProcesso();
        ADD_FAILURE() << "preparado";
    } catch (const ErroArquivo& e) {
        EXPECT_NE(std::string(e.what()).find((pasta / "arquivo").string()), std::string::npos)
            << e.what();
    }
    EXPECT_EQ(std::getenv("FIREBIRD"), nullptr);

    ::setenv("XDG_CACHE_HOME", pasta.caminho().c_str(), 1);
    preparaProcesso();
    const char* raiz = std::getenv("FIREBIRD");
    ASSERT_NE(raiz, nullptr);
    EXPECT_EQ(fs::path(raiz).parent_path(), pasta / "exportador-cds");
    struct sigaction disposicao {};
    ::sigaction(SIGPIPE, nullptr, &disposicao);
    EXPECT_EQ(disposicao.sa_handler, SIG_IGN);

    teste::BancoTeste banco;
    Conexao c;
    c.abre(banco.caminho());
    Transacao t(c);
    EXPECT_EQ(Consulta(t, "SELECT MON$PAGE_BUFFERS B FROM MON$DATABASE").abre().at(0).inteiro("B"),
              256);
}

}  // namespace
}  // namespace cds
