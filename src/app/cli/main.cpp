// exportador-cds: the monthly export from the command line, the same run as the window's.

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "comum/erro.hpp"
#include "comum/versao.hpp"
#include "export/abertura.hpp"
#include "export/arquivo_ini.hpp"
#include "export/exportacao.hpp"
#include "export/local_config.hpp"
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
  --profissional-generico COD   profissional dos cadastros sem responsável
                                (padrão: ESUS/PROFISSIONALGENERICO)
  --fichas LISTA                tipos de ficha, separados por vírgula:
)";

constexpr const char* kAjudaFim = R"(  --version                     mostra a versão do programa
  --help                        mostra esta ajuda

Os arquivos vão para a subpasta arquivosXML da pasta de saída (criada se faltar) e o
arquivo compactado para a própria pasta de saída. As linhas do log saem na saída padrão;
as mensagens de andamento e os avisos, na saída de erros.

Código de saída: 0 quando o arquivo compactado foi gravado e a exportação confirmada no banco
de dados; 1 quando a execução terminou de outro modo; 2 para uso incorreto.
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
           "O arquivo erros.txt, com os erros de cadastro, é gravado ao lado do arquivo de\n"
           "configuração usado.\n";
}

struct ErroUso : std::runtime_error {
    using std::runtime_error::runtime_error;
};

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

std::chrono::year_month_day leData(const std::string& opcao, const std::string& texto) {
    unsigned d = 0, m = 0;
    int a = 0;
    char resto = 0;
    if (texto.size() != 10 || std::sscanf(texto.c_str(), "%2u/%2u/%4d%c", &d, &m, &a, &resto) != 3)
        throw ErroUso(opcao + ": data inválida '" + texto + "' (use DD/MM/AAAA)");
    const std::chrono::year_month_day data{std::chrono::year{a}, std::chrono::month{m},
                                           std::chrono::day{d}};
    if (!data.ok()) throw ErroUso(opcao + ": data inexistente '" + texto + "'");
    return data;
}

void escolheFichas(ParametrosExportacao& p, const std::string& lista) {
    p.Fichas.clear();
    std::stringstream partes(lista);
    std::string nome;
    while (std::getline(partes, nome, ',')) {
        if (nome == "todas") {
            const std::set<TipoFicha> todas = fichasDeTodas();
            p.Fichas.insert(todas.begin(), todas.end());
        } else if (const DescricaoFicha* d = fichaPorNome(nome)) {
            p.Fichas.insert(d->tipo);
        } else {
            throw ErroUso("--fichas: tipo de ficha desconhecido '" + nome + "'");
        }
    }
}

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
    if (auto v = valor("--data-inicial")) p.DataInicial = leData("--data-inicial", *v);
    if (auto v = valor("--data-final")) p.DataFinal = leData("--data-final", *v);
    if (auto v = valor("--unidade")) p.Unidade = *v;
    if (auto v = valor("--cod-prof")) p.CodProf = *v;
    if (auto v = valor("--caminho")) p.Caminho = *v;
    if (auto v = valor("--uuid")) p.UUID = *v;
    if (auto v = valor("--profissional-generico")) p.ProfissionalGenerico = *v;
    if (auto v = valor("--fichas")) escolheFichas(p, *v);
    return p;
}

void resumo(const ResultadoExportacao& r) {
    const auto porTipo = arquivosPorTipo(r.ListaArquivos);
    std::cerr << "\nResumo da exportação\n";
    if (porTipo.empty()) std::cerr << "  nenhuma ficha gerada\n";
    for (const auto& [tipo, n] : porTipo)
        std::cerr << "  " << nomeResumo(tipo) << ": " << n << " arquivo(s)\n";
    std::cerr << "  arquivo compactado: " << r.arquivoZip.arquivo
              << (r.arquivoZip ? "" : " (NÃO gravado)") << '\n'
              << "  linhas no log: " << r.LogExecucao.size() << '\n'
              << "  linhas na lista de erros: " << r.ErrosCadastro.size() << '\n';
}

}  // namespace

int main(int argc, char** argv) {
    Opcoes opcoes;
    try {
        opcoes = leOpcoes(argc, argv);
    } catch (const ErroUso& e) {
        std::cerr << "exportador-cds: " << e.what() << "\nUse --help para ver as opções.\n";
        return 2;
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
    ParametrosExportacao parametros;
    try {
        parametros = parametrosDaLinha(opcoes, ini, relogio);
    } catch (const ErroUso& e) {
        std::cerr << "exportador-cds: " << e.what() << "\nUse --help para ver as opções.\n";
        return 2;
    }

    OperadorTerminal operador;
    try {
        // Refused before anything is made or written, arquivosXML included.
        validaExecucao(parametros, ini);
        criaPastaXml(parametros.Caminho);
        const ResultadoExportacao r = exportaArquivos(parametros, ini, operador, relogio);
        resumo(r);
        return r.arquivoZip ? 0 : 1;
    } catch (const Erro& e) {
        std::cerr << kTituloAplicacao << ": " << e.what() << '\n';
        return 1;
    }
}
