// How fast a month of care episodes goes out, and how much memory it takes.
//
//   bench_exportacao [EPISODIOS] [HOST]
//
// Makes a clinic with EPISODIOS medical episodes (default 5000), each with triage, CIAP and
// CID codes and two exams, then runs the export of the individual care and vaccination
// records and prints the figures. With HOST (127.0.0.1, say) the database is reached through
// that Firebird server instead of the embedded engine.

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "export/abertura.hpp"
#include "export/arquivo_ini.hpp"
#include "export/exportacao.hpp"
#include "source/conexao.hpp"
#include "source/consulta.hpp"
#include "suporte/banco_teste.hpp"
#include "suporte/clinica.hpp"

using namespace cds;
namespace fs = std::filesystem;

namespace {

class OperadorSilencioso : public Operador {
  public:
    void status(const std::string&) override {}
    void limpaLog() override {}
    void log(const std::string&) override {}
    void erroCadastro(const std::string&) override {}
    void limpaErrosCadastro() override {}
    void mensagem(const std::string&, const std::string&, TipoMensagem) override {}
};

class RelogioParado : public Relogio {
  public:
    DataHora agora() const override { return {2019, 11, 3, 14, 5, 0}; }
};

// Synthetic rows, inserted with prepared statements in one transaction.
void populaClinica(const std::string& caminho, int episodios) {
    Conexao c;
    c.abre(caminho);
    Transacao t(c);
    Consulta faa(t, R"(
INSERT INTO FAA (CODUNIDADE, NUMFAA, DATA, HORA, CODPESSOA, CODPROFISSIONAL, ESPECIEATEND,
  CARATER, CODCONDUTA, VACINAEMDIA)
VALUES ('2345678', :n, :data, :hora, 100, 10, 'MEDICO', '1', 1, 'S')
)");
    Consulta triagem(t, R"(
INSERT INTO TRIAGENS (CODUNIDADE, NUMFAA, PESO, ALTURA, pc)
VALUES ('2345678', :n, :peso, 1.68, 35)
)");
    Consulta ciap(t,
                  "INSERT INTO FAACIAPS (CODUNIDADE, NUMFAA, CODCIAP) "
                  "VALUES ('2345678', :n, :codigo)");
    Consulta cid(t,
                 "INSERT INTO FAACID (CODUNIDADE, NUMFAA, CODCID) "
                 "VALUES ('2345678', :n, 'J45.9')");
    Consulta exame(t, R"(
INSERT INTO FAAPROCED (CODUNIDADE, NUMFAA, CODPROCEDUNIF, ExameSolicitado, ExameAvaliado)
VALUES ('2345678', :n, :codigo, 'S', 'S')
)");
    for (int n = 1; n <= episodios; ++n) {
        faa.parametro("n", n);
        faa.parametro("data", std::chrono::year{2019} / 10 / (1 + n % 31));
        faa.parametro("hora", std::to_string(7 + n % 12) + ":15:00");
        faa.executa();
        triagem.parametro("n", n);
        triagem.parametro("peso", std::to_string(50 + n % 40) + ".5");
        triagem.executa();
        for (const char* codigo : {"ABP001", "A01", "K86"}) {
            ciap.parametro("n", n);
            ciap.parametro("codigo", std::string_view(codigo));
            ciap.executa();
        }
        cid.parametro("n", n);
        cid.executa();
        for (const char* codigo : {"0202010473", "0000000001"}) {
            exame.parametro("n", n);
            exame.parametro("codigo", std::string_view(codigo));
            exame.executa();
        }
    }
    t.commit();
}

double picoMemoriaMiB() {
    rusage uso{};
    getrusage(RUSAGE_SELF, &uso);
    return static_cast<double>(uso.ru_maxrss) / 1024.0;
}

}  // namespace

int main(int argc, char** argv) {
    const int episodios = argc > 1 ? std::atoi(argv[1]) : 5000;
    if (argc > 2) setenv("EXPORTADOR_TESTE_SERVIDOR", argv[2], 1);

    teste::BancoTeste banco;
    teste::insereClinica(banco);
    banco.executa(
        "INSERT INTO SUSPROCEDUNIF (CODIGO, DESCRICAO, ehexame, CODPROCESUS) VALUES "
        "('0202010473', 'Glicemia', 'S', '0202010473')");
    banco.executa(
        "INSERT INTO SUSPROCEDUNIF (CODIGO, DESCRICAO, ehexame, CODPROCESUS) VALUES "
        "('0000000001', 'Exame local', 'S', NULL)");
    banco.desconecta();
    const auto t0 = std::chrono::steady_clock::now();
    populaClinica(banco.caminho(), episodios);
    const auto t1 = std::chrono::steady_clock::now();

    teste::PastaTemporaria pasta;
    ArquivoIni ini(pasta.caminho() / "config.ini");
    ini.grava(kSecaoGeral, kChaveDatabase, banco.caminho());
    ini.grava(kSecaoGeral, kChaveIbge, "2211001");
    RelogioParado relogio;
    ParametrosExportacao p = parametrosIniciais(ini, relogio);
    p.Unidade = "2345678";
    p.Caminho = (pasta.caminho() / "saida").string();
    p.Fichas = {TipoFicha::AtendimentoIndividual, TipoFicha::Vacinacao};
    criaPastaXml(p.Caminho);
    OperadorSilencioso operador;

    const auto t2 = std::chrono::steady_clock::now();
    const ResultadoExportacao r = exportaArquivos(p, ini, operador, relogio);
    const auto t3 = std::chrono::steady_clock::now();

    const auto segundos = [](auto a, auto b) {
        return std::chrono::duration<double>(b - a).count();
    };
    const double exportacao = segundos(t2, t3);
    std::printf("motor:               %s\n", argc > 2 ? argv[2] : "embarcado");
    std::printf("episódios:           %d (carga em %.2f s)\n", episodios, segundos(t0, t1));
    std::printf("arquivos gravados:   %zu, zip %s (%.1f MiB)\n", r.ListaArquivos.size(), "gravado",
                static_cast<double>(fs::file_size(r.arquivoZip)) / 1048576.0);
    std::printf("exportação:          %.2f s, %.0f arquivos/s, %.3f ms por arquivo\n", exportacao,
                static_cast<double>(r.ListaArquivos.size()) / exportacao,
                1000.0 * exportacao / static_cast<double>(r.ListaArquivos.size()));
    std::printf("pico de memória:     %.1f MiB\n", picoMemoriaMiB());
    return 0;
}
