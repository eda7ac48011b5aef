// exportador-cds: the monthly export from the command line, the same run as the window's.

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "comum/plataforma_sinais.hpp"
#include "comum/cancelamento.hpp"
#include "comum/erro.hpp"
#include "comum/plataforma_tarefa.hpp"
#include "comum/versao.hpp"
#include "export/abertura.hpp"
#include "export/arquivo_ini.hpp"
#include "export/entradas.hpp"
#include "export/exportacao.hpp"
#include "export/local_config.hpp"
#include "export/processo.hpp"
#include "fichas/registro.hpp"

namespace fs = std::filesystem;
using namespace cds;

namespace {

constexpr const char* kAjudaInicio = R"(Uso: exportador-cds [opções]

Gera os arquivos XML das fichas CDS (layout e-SUS AB 2.2) a partir do banco de dados da
clínica e os compacta em FichasValmo_<data>_<hora>_<início>_<fim>.zip na pasta de saída.

Opções (uma opção omitida assume o que a janela mostraria ao abrir):
  --config ARQ                  arquivo de configuração (padrão: veja abaixo)
  --data-inicial DD/MM/AAAA     primeiro dia do período (padrão: 1º dia do mês anterior)
  --data-final DD/MM/AAAA       último dia do período (padrão: último dia do mês anterior)
  --unidade CNES                CNES da unidade (padrão: GERAL/CNESPRINCIPAL)
  --cod-prof COD                só os atendimentos deste profissional (padrão: todos)
  --caminho DIR                 pasta de saída (padrão: GERAL/CAMINHOXML)
  --uuid TEXTO                  texto dos identificadores gerados (padrão: 0)
  --profissional-generico COD   profissional dos cadastros sem responsável; um
                                profissional do banco, obrigatório com as fichas
                                de cadastro (padrão: ESUS/PROFISSIONALGENERICO)
  --fichas LISTA                tipos de ficha, separados por vírgula:
)";

constexpr const char* kAjudaFim = R"(  --version                     mostra a versão do programa
  --help                        mostra esta ajuda

Os arquivos vão para a subpasta arquivosXML da pasta de saída (criada se faltar) e o
arquivo compactado para a própria pasta de saída. As linhas do log saem na saída padrão;
as mensagens de andamento e os avisos, na saída de erros. Iniciado com alguma delas (ou a
entrada padrão) fechada, como fazem alguns agendadores, o programa a abre em /dev/null: o
que iria para ela se perde, e nada vai parar em outro arquivo.

Ctrl-C (ou SIGTERM, ou SIGHUP quando o terminal é fechado) interrompe a exportação: a
consulta em curso é cancelada, o trabalho no banco de dados é desfeito e o arquivo compactado
por terminar é apagado. Um segundo Ctrl-C encerra o programa na hora; o arquivo compactado
por terminar fica então, oculto, na pasta de saída, e a próxima exportação nessa pasta o
apaga, assim como o de uma execução que morreu (kill -9, falta de energia).

Código de saída: 0 quando o arquivo compactado foi gravado e a exportação confirmada no banco
de dados; 3 quando ambos foram feitos mas a lista de erros não pôde ser gravada (o arquivo
compactado deve ser enviado: os cadastros dele já constam como enviados); 1 quando a execução
terminou de outro modo; 2 para uso incorreto; 130 (Ctrl-C), 143 (SIGTERM) ou 129 (SIGHUP)
quando interrompida.
)";

// The help, with the record kinds of the registry: two names a line, then "todas".
std::string ajuda() {
    const std::string recuo(34, ' ');
    std::string texto = kAjudaInicio;
    std::string fora;
    int naLinha = 0;
    for (const DescricaoFicha& d : registroFichas()) {
        texto += (naLinha == 0 ? recuo : " ") + std::string(d.nome) + ",";
        if (++naLinha == 2) {
            texto += "\n";
            naLinha = 0;
        }
        if (!d.emTodas) fora += (fora.empty() ? "" : ", ") + std::string(d.nome);
    }
    if (naLinha != 0) texto += "\n";
    texto += recuo + "ou todas (as da janela" + (fora.empty() ? "" : ", sem " + fora) +
             "; é o padrão)\n";
    texto += kAjudaFim;
    texto += "\nSem --config, o arquivo de configuração é o primeiro destes que existir:\n";
    for (const fs::path& local : locaisDoConfig()) texto += "  " + local.string() + "\n";
    return texto +
           "\nA lista de erros da exportação (uma linha por erro) é gravada quando ela termina\n"
           "bem: em erros.txt, ao lado do arquivo de configuração usado, em ANSI\n"
           "(Windows-1252), e em UTF-8 ao lado do arquivo compactado, com o nome dele e\n"
           ".erros.txt no lugar de .zip. Uma exportação sem erros apaga o erros.txt anterior;\n"
           "uma que falha ou é interrompida não mexe nele.\n";
}

struct ErroUso : std::runtime_error {
    using std::runtime_error::runtime_error;
};

int usoIncorreto(const std::string& motivo) {
    std::cerr << "exportador-cds: " << motivo << "\nUse --help para ver as opções.\n";
    return 2;
}

// The command line's operator: the log on standard output, everything else on standard error.
class OperadorTerminal : public Operador {
  public:
    void status(const std::string& texto) override {
        if (!texto.empty()) std::cerr << texto << '\n';
    }
    void limpaLog() override {}
    void log(const std::string& linha) override { std::cout << linha << '\n'; }
    void erroCadastro(const std::string&) override {}
    void limpaErrosCadastro() override {}
    void mensagem(const std::string& texto, const std::string& titulo, TipoMensagem) override {
        std::cerr << titulo << ": " << texto << '\n';
    }
};

struct Opcoes {
    std::optional<std::string> config;
    std::map<std::string, std::string> valores;
    bool ajuda = false;
    bool versao = false;
};

Opcoes leOpcoes(int argc, char** argv) {
    static const char* const comValor[] = {
        "--config",   "--data-inicial", "--data-final", "--unidade",
        "--cod-prof", "--caminho",      "--uuid",       "--profissional-generico",
        "--fichas"};
    Opcoes o;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--version") {
            o.versao = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            o.ajuda = true;
            continue;
        }
        std::optional<std::string> valor;
        if (const auto igual = arg.find('=');
            arg.rfind("--", 0) == 0 && igual != std::string::npos) {
            valor = arg.substr(igual + 1);
            arg.resize(igual);
        }
        if (std::find(std::begin(comValor), std::end(comValor), arg) == std::end(comValor))
            throw ErroUso("opção desconhecida '" + arg + "'");
        if (!valor) {
            if (i + 1 >= argc) throw ErroUso(arg + ": falta o valor");
            valor = argv[++i];
        }
        validaTextoDaOpcao(arg, *valor);
        if (arg == "--config")
            o.config = *valor;
        else
            o.valores[arg] = *valor;
    }
    return o;
}

ParametrosExportacao parametrosDaLinha(const Opcoes& o, const ArquivoIni& ini,
                                       const Relogio& relogio) {
    ParametrosExportacao p = parametrosIniciais(ini, relogio);
    auto valor = [&](const char* opcao) -> const std::string* {
        auto it = o.valores.find(opcao);
        return it == o.valores.end() ? nullptr : &it->second;
    };
    if (auto v = valor(kOpcaoDataInicial)) p.DataInicial = leDataDaOpcao(kOpcaoDataInicial, *v);
    if (auto v = valor(kOpcaoDataFinal)) p.DataFinal = leDataDaOpcao(kOpcaoDataFinal, *v);
    if (auto v = valor(kOpcaoUnidade)) p.Unidade = *v;
    if (auto v = valor(kOpcaoCodProf)) p.CodProf = *v;
    if (auto v = valor(kOpcaoCaminho)) p.Caminho = *v;
    if (auto v = valor(kOpcaoUuid)) p.UUID = *v;
    if (auto v = valor(kOpcaoProfissionalGenerico)) p.ProfissionalGenerico = *v;
    if (auto v = valor(kOpcaoFichas)) p.Fichas = leFichasDaOpcao(*v);
    // The folder the run will use, in the messages before it too.
    p.Caminho = caminhoAbsoluto(p.Caminho);
    return p;
}

// Where a refused value came from when its option was not given: config.ini's key, so that
// the operator knows what to mend.
std::string origem(const Opcoes& o, const std::string& opcao) {
    if (o.valores.contains(opcao)) return {};
    if (opcao == kOpcaoUnidade) return " (de CNESPRINCIPAL, na seção [GERAL] de config.ini)";
    if (opcao == kOpcaoCaminho) return " (de CAMINHOXML, na seção [GERAL] de config.ini)";
    if (opcao == kOpcaoProfissionalGenerico)
        return " (de PROFISSIONALGENERICO, na seção [ESUS] de config.ini)";
    return {};
}

// Set by the first Ctrl-C or SIGTERM, for the exit status.
std::atomic<int> sinalRecebido{0};

// Lives as long as the process: the thread that asks it may still be at it when main returns.
Cancelamento& cancelamento = *new Cancelamento;

int statusDeInterrupcao() {
    const int sinal = sinalRecebido.load();
    return 128 + (sinal != 0 ? sinal : SIGINT);
}

[[noreturn]] void encerraJa(int sinal) {
    std::fputs("Exportador CDS: Exportação interrompida pelo operador.\n", stderr);
    std::fflush(stderr);
    std::_Exit(128 + sinal);
}

// The first signal asks the run to stop, and it ends as an error does, its work undone; a run
// still waiting for the server to accept its connection has done nothing yet and ends at
// once. A second signal ends the program at once, whatever the run is doing.
void aoSinal(int sinal, int quantos) {
    if (quantos > 1) encerraJa(sinal);
    sinalRecebido = sinal;
    // From a thread of its own: a cancel sent to a server that does not answer may wait, and a
    // second signal must still be heard.
    std::thread([sinal] { cancelamento.pede([sinal] { encerraJa(sinal); }); }).detach();
}

void resumo(const ResultadoExportacao& r) {
    std::cerr << "\nResumo da exportação\n";
    for (const std::string& linha : tabelaDoResumo(r.relatorio)) std::cerr << "  " << linha << '\n';
    std::cerr << "  arquivo compactado: " << r.arquivoZip << '\n'
              << "  relatório: " << r.relatorio.html.string() << " (e "
              << r.relatorio.csv.filename().string() << ", para planilha)\n"
              << "  linhas no log: " << r.LogExecucao.size() << '\n';
    for (const std::string& nota : notasFinais(r)) std::cerr << "  " << nota << '\n';
}

// The program once its signals are taken care of; the run's own errors end it here, each
// with its exit status.
int executa(int argc, char** argv) {
    Opcoes opcoes;
    try {
        opcoes = leOpcoes(argc, argv);
    } catch (const ErroUso& e) {
        return usoIncorreto(e.what());
    } catch (const ErroParametro& e) {
        return usoIncorreto(e.opcao() + ": " + e.what());
    }
    if (opcoes.versao) {
        std::cout << "exportador-cds " << kVersao << '\n';
        return 0;
    }
    if (opcoes.ajuda) {
        std::cout << ajuda();
        return 0;
    }

    RelogioSistema relogio;
    ArquivoIni ini(
        localizaConfig(opcoes.config ? std::optional<fs::path>(*opcoes.config) : std::nullopt));
    OperadorTerminal operador;
    try {
        const ParametrosExportacao parametros = parametrosDaLinha(opcoes, ini, relogio);
        // Refused before anything is made or written, arquivosXML included.
        validaExecucao(parametros, ini);
        criaPastaXml(parametros.Caminho);
        const ResultadoExportacao r =
            exportaArquivos(parametros, ini, operador, relogio, &cancelamento);
        resumo(r);
        return 0;
    } catch (const ErroParametro& e) {
        return usoIncorreto(e.opcao() + ": " + e.what() + origem(opcoes, e.opcao()));
    } catch (const ErroInterrompido& e) {
        std::cerr << kTituloAplicacao << ": " << e.what() << '\n';
        return statusDeInterrupcao();
    } catch (const ErroAposConfirmacao& e) {
        // Not 1: a script that takes 1 for "nothing happened" must not run the export again
        // and lose this archive, the only one with its registrations.
        std::cerr << kTituloAplicacao << ": " << e.what() << '\n';
        return 3;
    } catch (const Erro& e) {
        std::cerr << kTituloAplicacao << ": " << e.what() << '\n';
        return 1;
    }
}

}  // namespace

int main(int argc, char** argv) {
    // First, before anything opens a file: the folder's lock and the engine's lock files would
    // take the place of a closed standard output or error.
    if (const std::error_code erro = abreDescritoresPadraoFechados()) {
        std::cerr << kTituloAplicacao
                  << ": não foi possível abrir /dev/null no lugar da entrada ou saída padrão "
                     "fechada: "
                  << motivoDoSistema(erro) << ".\n";
        return 1;
    }
    try {
        preparaProcesso();
        instalaTratamentoDeSinais(aoSinal);
        return executa(argc, argv);
    } catch (const Erro& e) {
        std::cerr << kTituloAplicacao << ": " << e.what() << '\n';
        return 1;
    } catch (const std::exception& e) {
        // Not one of the program's own errors (a thread the system would not start, memory
        // that ran out): the operator still reads it, and the exit status says it failed.
        std::cerr << kTituloAplicacao << ": erro inesperado: " << e.what() << '\n';
        return 1;
    }
}
