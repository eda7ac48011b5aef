// exportador-cds: the monthly export from the command line, the same run as the window's.

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <system_error>
#include <thread>

#include "app/cli/codigos_saida.hpp"
#include "app/cli/opcoes.hpp"
#include "app/cli/saida.hpp"
#include "comum/cancelamento.hpp"
#include "comum/erro.hpp"
#include "comum/plataforma_sinais.hpp"
#include "comum/plataforma_tarefa.hpp"
#include "comum/versao.hpp"
#include "export/abertura.hpp"
#include "export/arquivo_ini.hpp"
#include "export/entradas.hpp"
#include "export/exportacao.hpp"
#include "export/local_config.hpp"
#include "export/processo.hpp"
#include "export/trava_pasta.hpp"
#include "fichas/registro.hpp"

namespace fs = std::filesystem;
using namespace cds;

namespace {

int usoIncorreto(const std::string& motivo) {
    std::cerr << "exportador-cds: " << motivo << "\nUse --help para ver as opções.\n";
    return kSaidaUsoOuConfiguracao;
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
    std::fputs("exportador-cds: Exportação interrompida pelo operador.\n", stderr);
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

// The class of a run's error, as its exit code.
int codigoDoErro(const Erro& e) {
    if (dynamic_cast<const ErroInterrompido*>(&e)) return statusDeInterrupcao();
    if (dynamic_cast<const ErroAposConfirmacao*>(&e)) return kSaidaArquivoSemListaDeErros;
    if (dynamic_cast<const ErroPastaOcupada*>(&e)) return kSaidaPastaOcupada;
    if (dynamic_cast<const ErroSemConexao*>(&e)) return kSaidaSemConexao;
    if (dynamic_cast<const ErroParametro*>(&e)) return kSaidaUsoOuConfiguracao;
    return kSaidaFalhou;
}

std::string nomesDasFichas(const ParametrosExportacao& p) {
    std::string nomes;
    for (const DescricaoFicha& d : registroFichas())
        if (p.escolhida(d.tipo)) nomes += (nomes.empty() ? "" : ",") + std::string(d.nome);
    return nomes;
}

// The log file's first line of a run: enough to tell one month's run from another's.
std::string cabecalho(const Opcoes& o, const ParametrosExportacao& p, const ArquivoIni& ini) {
    const char* modo = o.testaConexao ? "teste de conexão"
                       : o.verifica   ? "verificação"
                                      : "exportação";
    return std::string("exportador-cds ") + kVersao + ": " + modo + "; banco de dados " +
           ini.le(kSecaoGeral, kChaveDatabase, "") + "; unidade " + p.Unidade + "; período " +
           textoData(p.DataInicial) + " a " + textoData(p.DataFinal) + "; fichas " +
           nomesDasFichas(p) + "; pasta de saída " + p.Caminho + "; config " +
           ini.arquivo().string();
}

void resumo(const ResultadoExportacao& r, bool verificacao, OperadorTerminal& operador) {
    operador.informa("\nResumo da " + std::string(verificacao ? "verificação" : "exportação"));
    for (const std::string& linha : tabelaDoResumo(r.relatorio)) operador.informa("  " + linha);
    if (!verificacao) operador.informa("  arquivo compactado: " + r.arquivoZip);
    operador.informa("  relatório: " + r.relatorio.html.string() + " (e " +
                     r.relatorio.csv.filename().string() + ", para planilha)");
    operador.informa("  linhas no log: " + std::to_string(r.LogExecucao.size()));
    if (verificacao)
        operador.informa("  lista de erros: " + std::to_string(r.ErrosCadastro.size()) +
                         " linha(s), não gravada");
    else
        for (const std::string& nota : notasFinais(r)) operador.informa("  " + nota);
    if (verificacao)
        for (const std::string& aviso : r.avisos) operador.informa("  " + aviso);
}

constexpr char kFimDaVerificacao[] =
    "Verificação concluída. Nada foi enviado: o arquivo compactado foi apagado, a pasta de "
    "saída ficou como estava, a lista de erros não foi gravada e o trabalho no banco de dados "
    "foi desfeito, sem marcar nenhum cadastro como enviado. As fichas e o relatório ficaram em ";

// The run itself, once its inputs are settled; its errors end it here, each with its exit code.
int exportacao(const Opcoes& opcoes, const ParametrosExportacao& parametros, ArquivoIni& ini,
               OperadorTerminal& operador, const Relogio& relogio) {
    try {
        if (!opcoes.verifica) criaPastaXml(parametros.Caminho);
        ModoExportacao modo;
        modo.gravaConfig = opcoes.gravaConfig;
        modo.verificacao = opcoes.verifica;
        const ResultadoExportacao r =
            exportaArquivos(parametros, ini, operador, relogio, &cancelamento, modo);
        resumo(r, opcoes.verifica, operador);
        if (opcoes.verifica) {
            const std::string fim = kFimDaVerificacao + r.pastaDaVerificacao.string() + ".";
            operador.informa("\n" + fim);
            operador.registra("Resultado: " + fim);
        } else {
            operador.registra("Resultado: exportação concluída; arquivo compactado " +
                              r.arquivoZip);
        }
        return kSaidaFeita;
    } catch (const ErroParametro& e) {
        operador.registra("Erro: " + e.opcao() + ": " + e.what() + origem(opcoes, e.opcao()));
        operador.registra("Resultado: falhou (código " + std::to_string(kSaidaUsoOuConfiguracao) +
                          ")");
        return usoIncorreto(e.opcao() + ": " + e.what() + origem(opcoes, e.opcao()));
    } catch (const Erro& e) {
        const int codigo = codigoDoErro(e);
        operador.erro(e.what());
        operador.registra("Resultado: falhou (código " + std::to_string(codigo) + ")");
        return codigo;
    }
}

// What the engine said is missing, in its own names ("coluna PROFISSIONAIS.CBO"), from its
// refusal to prepare a statement; empty when it said something else. The first one only: the
// engine stops at it.
std::string oQueFalta(const std::string& mensagem) {
    static const std::regex coluna(R"(Column unknown -(\S+))");
    static const std::regex tabela(R"(Table unknown -(\S+))");
    std::smatch m;
    if (std::regex_search(mensagem, m, coluna)) return "coluna " + m[1].str();
    if (std::regex_search(mensagem, m, tabela)) return "tabela " + m[1].str();
    return {};
}

// The connection check: a check run whose every output but its errors is left out, so that the
// tables and columns checked are those the kinds' own statements read, however they change;
// then how many records of the period each kind has. Any failure to read the database ends it
// with the code of a database that cannot be used.
int testeDeConexao(const ParametrosExportacao& parametros, ArquivoIni& ini,
                   OperadorTerminal& operador, RegistroEmArquivo* registro,
                   const Relogio& relogio) {
    OperadorTerminal calado(true, false, registro);
    ModoExportacao modo;
    modo.gravaConfig = false;
    modo.verificacao = true;
    modo.mantemPastaDaVerificacao = false;
    try {
        const ResultadoExportacao r =
            exportaArquivos(parametros, ini, calado, relogio, &cancelamento, modo);
        std::vector<std::string> linhas = {
            "Conexão com o banco de dados " + ini.le(kSecaoGeral, kChaveDatabase, "") + ": ok.",
            "Todas as tabelas e colunas que a exportação lê existem.",
            "Registros do período de " + textoData(parametros.DataInicial) + " a " +
                textoData(parametros.DataFinal) + ", unidade " + parametros.Unidade + ":"};
        for (const ResumoDoTipo& t : r.relatorio.tipos)
            linhas.push_back("  " + std::string(nomeResumo(t.tipo)) + ": " +
                             std::to_string(t.gravados + t.deixados));
        for (const std::string& linha : linhas) {
            operador.registra(linha);
            if (!operador.calado()) std::cout << linha << '\n';
        }
        operador.registra("Resultado: teste de conexão concluído");
        return kSaidaFeita;
    } catch (const ErroParametro& e) {
        return usoIncorreto(e.opcao() + ": " + e.what());
    } catch (const ErroSemConexao& e) {
        operador.erro(e.what());
        return kSaidaSemConexao;
    } catch (const ErroBanco& e) {
        const std::string falta = oQueFalta(e.what());
        operador.erro((falta.empty() ? std::string("O banco de dados não pôde ser lido como a "
                                                   "exportação o lê: ")
                                     : "O banco de dados não tem o que a exportação lê: falta a " +
                                           falta + ". ") +
                      e.what());
        return kSaidaSemConexao;
    } catch (const Erro& e) {
        operador.erro(e.what());
        return codigoDoErro(e);
    }
}

// The password of --senha-arquivo, put where the connection reads it (ISC_PASSWORD). Refused
// when others than the file's owner may read or change it: a secret left open to them is no
// longer one. Windows keeps a file's access in rules these bits do not show, and is not checked.
void usaSenhaDoArquivo(const std::string& arquivo) {
    const std::string opcao = "--senha-arquivo: ";
    std::error_code ec;
    const fs::file_status estado = fs::status(arquivo, ec);
    if (ec) throw ErroUso(opcao + mensagemComMotivo("não foi possível ler '" + arquivo + "'", ec));
    if (!fs::is_regular_file(estado)) throw ErroUso(opcao + "'" + arquivo + "' não é um arquivo");
#ifndef _WIN32
    if ((estado.permissions() & (fs::perms::group_all | fs::perms::others_all)) != fs::perms::none)
        throw ErroUso(opcao + "'" + arquivo +
                      "' pode ser lido ou alterado por outros usuários além do dono; deixe-o só "
                      "para o dono (chmod 600 '" +
                      arquivo + "')");
#endif
    std::ifstream entrada(arquivo, std::ios::binary);
    std::string senha;
    if (!entrada || !std::getline(entrada, senha))
        throw ErroUso(opcao + "'" + arquivo + "' está vazio ou não pôde ser lido");
    if (senha.ends_with('\r')) senha.pop_back();
    if (senha.empty()) throw ErroUso(opcao + "a primeira linha de '" + arquivo + "' está vazia");
    if (!defineVariavelDoAmbiente("ISC_PASSWORD", senha))
        throw ErroUso(opcao + "o sistema recusou a senha como variável do ambiente");
}

// The program once its options are read: the process prepared, its signals taken care of, the
// settings read and checked, then the run.
int executa(const Opcoes& opcoes) {
    // Opened first: a log that cannot be written is said before anything runs.
    std::unique_ptr<RegistroEmArquivo> registro;
    if (opcoes.log) registro = std::make_unique<RegistroEmArquivo>(*opcoes.log);
    // Before any thread starts: the environment must not change while another may read it.
    if (opcoes.senhaArquivo) usaSenhaDoArquivo(*opcoes.senhaArquivo);
    preparaProcesso();
    instalaTratamentoDeSinais(aoSinal);

    RelogioSistema relogio;
    ArquivoIni ini(
        localizaConfig(opcoes.config ? std::optional<fs::path>(*opcoes.config) : std::nullopt));
    OperadorTerminal operador(opcoes.silencioso, saidaDeErrosEhTerminal(), registro.get());
    ParametrosExportacao parametros;
    try {
        parametros = parametrosDaLinha(opcoes, ini, relogio);
        // Refused before anything is made or written, arquivosXML included.
        validaExecucao(parametros, ini);
    } catch (const ErroParametro& e) {
        operador.registra("Erro: " + e.opcao() + ": " + e.what() + origem(opcoes, e.opcao()));
        return usoIncorreto(e.opcao() + ": " + e.what() + origem(opcoes, e.opcao()));
    } catch (const Erro& e) {
        // The settings, or the output folder they name: the operator mends them.
        operador.erro(e.what());
        return kSaidaUsoOuConfiguracao;
    }
    operador.registra(cabecalho(opcoes, parametros, ini));
    if (opcoes.testaConexao)
        return testeDeConexao(parametros, ini, operador, registro.get(), relogio);
    return exportacao(opcoes, parametros, ini, operador, relogio);
}

}  // namespace

int main(int argc, char** argv) {
    // First, before anything opens a file: the folder's lock and the engine's lock files would
    // take the place of a closed standard output or error.
    if (const std::error_code erro = abreDescritoresPadraoFechados()) {
        std::cerr << "exportador-cds: não foi possível abrir /dev/null no lugar da entrada ou "
                     "saída padrão fechada: "
                  << motivoDoSistema(erro) << ".\n";
        return kSaidaFalhou;
    }
    try {
        // Read before the process is prepared, so that a mistyped command, --help or
        // --version touch nothing.
        LinhaDeComando linha;
        try {
            linha = leOpcoes(argc, argv);
        } catch (const ErroUso& e) {
            return usoIncorreto(e.what());
        } catch (const ErroParametro& e) {
            return usoIncorreto(e.opcao() + ": " + e.what());
        }
        if (linha.saida) return *linha.saida;
        try {
            return executa(linha.opcoes);
        } catch (const ErroUso& e) {
            return usoIncorreto(e.what());
        }
    } catch (const Erro& e) {
        std::cerr << "exportador-cds: " << e.what() << '\n';
        return kSaidaFalhou;
    } catch (const std::exception& e) {
        // Not one of the program's own errors (a thread the system would not start, memory
        // that ran out): the operator still reads it, and the exit status says it failed.
        std::cerr << "exportador-cds: erro inesperado: " << e.what() << '\n';
        return kSaidaFalhou;
    }
}
